// DocActionTarget: the workspace document as the action framework's ActionDocument. The executor
// opens one transaction per action; chat actions write through it and it commits as one change.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/message_index.h"
#include "model/workspace_doc.h"
#include "runtime/actions/action_document.h"

namespace chat {

class DocActionTarget final : public kivo_actions::ActionDocument {
public:
  explicit DocActionTarget(Document& doc) : m_doc(doc) {}
  ~DocActionTarget() override;

  std::vector<std::string> heads() const override;  // hex, sorted
  void begin_transaction() override;
  kivo::Status commit_transaction(const std::string& message, int64_t time_seconds) override;
  void rollback_transaction() override;

  std::optional<DocWrite> writer();  // the open transaction; none outside begin .. commit
  MessageIndex& message_index() { return m_index; }
  Document& document() { return m_doc; }

private:
  Document& m_doc;
  std::optional<Transaction> m_tx;
  kivo::doc::Heads m_heads_before;
  MessageIndex m_index;
};

}  // namespace chat
