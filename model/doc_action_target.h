// DocActionTarget: the workspace document as chat actions see it. It runs the action framework's
// transactions on the toolkit's document target (so a persisted document records each change) and
// keeps the message index that the chat actions' duplicate checks use.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/message_index.h"
#include "model/workspace_doc.h"
#include "runtime/actions/action_document.h"
#include "runtime/ui/document_target.h"

namespace chat {

class DocActionTarget final : public kivo_actions::ActionDocument {
public:
  explicit DocActionTarget(kivo_ui::doc::DocumentTarget& target) : m_target(&target) {}
  explicit DocActionTarget(Document& doc);  // a document held elsewhere, in memory only
  ~DocActionTarget() override;

  std::vector<std::string> heads() const override;  // hex, sorted
  void begin_transaction() override;
  kivo::Status commit_transaction(const std::string& message, int64_t time_seconds) override;
  void rollback_transaction() override;

  std::optional<DocWrite> writer();  // the open transaction; none outside begin .. commit
  MessageIndex& message_index() { return m_index; }
  Document& document() { return m_target->document(); }
  kivo_ui::doc::DocumentTarget& target() { return *m_target; }

private:
  std::unique_ptr<kivo_ui::doc::BorrowedDocumentTarget> m_borrowed;
  kivo_ui::doc::DocumentTarget* m_target;
  kivo::doc::Heads m_heads_before;
  MessageIndex m_index;
};

}  // namespace chat
