#include "model/doc_action_target.h"

namespace chat {

DocActionTarget::DocActionTarget(Document& doc)
    : m_borrowed(std::make_unique<kivo_ui::doc::BorrowedDocumentTarget>(doc)), m_target(m_borrowed.get()) {}

DocActionTarget::~DocActionTarget() { m_target->rollback_transaction(); }

std::vector<std::string> DocActionTarget::heads() const { return m_target->heads(); }

void DocActionTarget::begin_transaction() {
  m_target->rollback_transaction();
  m_heads_before = m_target->document().heads();
  m_target->begin_transaction();
}

kivo::Status DocActionTarget::commit_transaction(const std::string& message, int64_t time_seconds) {
  if (!m_target->in_transaction()) return kivo::make_error("no transaction is open");
  KIVO_TRY(m_target->commit_transaction(message, time_seconds));
  // Every write of this transaction went through the index, so it stays valid at the new heads.
  m_index.advance(m_heads_before, m_target->document().heads());
  return {};
}

void DocActionTarget::rollback_transaction() { m_target->rollback_transaction(); }

std::optional<DocWrite> DocActionTarget::writer() {
  if (!m_target->in_transaction()) return std::nullopt;
  return DocWrite{m_target->document(), m_target->transaction()};
}

}  // namespace chat
