#include "model/doc_action_target.h"

namespace chat {

DocActionTarget::~DocActionTarget() {
  if (m_tx) m_tx->rollback();
}

std::vector<std::string> DocActionTarget::heads() const {
  std::vector<std::string> out;
  for (const auto& h : m_doc.heads()) out.push_back(h.hex());
  return out;
}

void DocActionTarget::begin_transaction() {
  if (m_tx) m_tx->rollback();
  m_heads_before = m_doc.heads();
  m_tx.emplace(m_doc.begin());
}

kivo::Status DocActionTarget::commit_transaction(const std::string& message, int64_t time_seconds) {
  if (!m_tx) return kivo::make_error("no transaction is open");
  m_tx->commit(message, time_seconds * 1000);
  m_tx.reset();
  // Every write of this transaction went through the index, so it stays valid at the new heads.
  m_index.advance(m_heads_before, m_doc.heads());
  return {};
}

void DocActionTarget::rollback_transaction() {
  if (!m_tx) return;
  m_tx->rollback();
  m_tx.reset();
}

std::optional<DocWrite> DocActionTarget::writer() {
  if (!m_tx) return std::nullopt;
  return DocWrite{m_doc, *m_tx};
}

}  // namespace chat
