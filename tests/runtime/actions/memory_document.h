// An in-memory ActionDocument for tests: a key-value map whose commits make numbered heads.
#pragma once

#include <map>
#include <string>

#include "runtime/actions/action_document.h"

namespace kivo_actions::testing {

class MemoryDocument final : public ActionDocument {
public:
  std::map<std::string, std::string> values;  // committed state
  std::map<std::string, std::string> pending;  // writes of the open transaction
  std::vector<std::string> messages;           // one per committed change
  bool in_transaction = false;
  bool fail_commit = false;

  std::vector<std::string> heads() const override {
    if (messages.empty()) return {};
    return {"head" + std::to_string(messages.size())};
  }
  void begin_transaction() override {
    in_transaction = true;
    pending.clear();
  }
  kivo::Status commit_transaction(const std::string& message, int64_t) override {
    if (fail_commit) return kivo::make_error("disk full");
    in_transaction = false;
    if (pending.empty()) return {};
    for (auto& [k, v] : pending) values[k] = v;
    pending.clear();
    messages.push_back(message);
    return {};
  }
  void rollback_transaction() override {
    in_transaction = false;
    pending.clear();
  }
  void write(const std::string& key, const std::string& value) {
    if (values.count(key) && values[key] == value) return;  // write only if changed
    pending[key] = value;
  }
};

}  // namespace kivo_actions::testing
