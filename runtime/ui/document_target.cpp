#include "runtime/ui/document_target.h"

namespace kivo_ui::doc {

std::vector<std::string> DocumentTarget::heads() const {
  std::vector<std::string> out;
  for (const auto& h : document().heads()) out.push_back(h.hex());
  return out;
}

void DocumentTarget::begin_transaction() {
  m_tx.reset();
  m_tx.emplace(document().begin());
}

void DocumentTarget::rollback_transaction() {
  if (m_tx) m_tx->rollback();
  m_tx.reset();
}

kivo::Result<bool> DocumentTarget::commit_open(const std::string& message, int64_t time_seconds) {
  if (!m_tx) return kivo::make_error("no transaction is open");
  auto hash = m_tx->commit(message, time_seconds * 1000);
  m_tx.reset();
  return hash.has_value();
}

kivo::Status MemoryDocumentTarget::commit_transaction(const std::string& message, int64_t time_seconds) {
  KIVO_TRY(commit_open(message, time_seconds));
  return {};
}

kivo::Status BorrowedDocumentTarget::commit_transaction(const std::string& message, int64_t time_seconds) {
  KIVO_TRY(commit_open(message, time_seconds));
  return {};
}

kivo::Status splice_text_diffed(kivo::doc::Transaction& tx, kivo::doc::ObjId text, std::string_view new_text) {
  return tx.splice_text_diffed(text, new_text);
}

}  // namespace kivo_ui::doc
