// ActionDocument: the document the executor runs typed actions over, seen as transactions and heads.
// The document library implements it; the framework itself knows nothing of the document's content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/base/result.h"

namespace kivo_actions {

struct ActionContext;

class ActionDocument {
public:
  virtual ~ActionDocument() = default;

  virtual std::vector<std::string> heads() const = 0;  // current heads as hex hashes, sorted

  // Every typed action runs inside one transaction, which commits to at most one change.
  virtual void begin_transaction() = 0;
  // Commits the open transaction (no change when nothing was written); `message` describes it.
  virtual kivo::Status commit_transaction(const std::string& message, int64_t time_seconds) = 0;
  virtual void rollback_transaction() = 0;  // drops everything written since begin
};

}  // namespace kivo_actions
