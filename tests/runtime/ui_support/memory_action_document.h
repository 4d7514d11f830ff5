// A small in-memory ActionDocument for tests: a map of keys to values with transactions; the
// heads are one hash per committed change.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "runtime/actions/action_document.h"

namespace kivo_test {

class MemoryActionDocument final : public kivo_actions::ActionDocument {
public:
  std::map<std::string, std::string> values;  // committed state
  std::vector<std::string> commit_messages;   // one per committed change
  bool fail_commit = false;                    // makes the next commits fail

  std::vector<std::string> heads() const override {
    char head[17];
    std::snprintf(head, sizeof head, "%016llx", static_cast<unsigned long long>(commit_messages.size() * 0x9e3779b97f4a7c15ull));
    return {head};
  }

  void begin_transaction() override {
    m_staged = values;
    m_open = true;
  }

  kivo::Status commit_transaction(const std::string& message, int64_t) override {
    if (fail_commit) return kivo::make_error("disk full");
    if (m_open && m_staged != values) {
      values = m_staged;
      commit_messages.push_back(message);
    }
    m_open = false;
    return {};
  }

  void rollback_transaction() override { m_open = false; }

  // Writes inside the open transaction.
  void set(const std::string& key, const std::string& value) { m_staged[key] = value; }

private:
  std::map<std::string, std::string> m_staged;
  bool m_open = false;
};

}  // namespace kivo_test
