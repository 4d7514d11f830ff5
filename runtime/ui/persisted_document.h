// PersistedDocument: the workspace document kept by the toolkit's persistence. Every committed
// change is appended to the store durably before the commit returns; the store's log is folded
// into a snapshot once it grows past its limits.
#pragma once

#include <memory>
#include <optional>

#include "runtime/base/result.h"
#include "runtime/ui/document_target.h"
#include "runtime/ui/persist.h"

namespace kivo_ui::doc {

class PersistedDocument final : public DocumentTarget {
public:
  // Loads what the store holds (an empty store gives an empty document). A store whose bytes
  // do not load is refused, so that nothing is written over a document that could be repaired.
  static kivo::Result<std::unique_ptr<PersistedDocument>> open(persist::Handle store);
  ~PersistedDocument() override { rollback_transaction(); }  // before the document goes

  kivo::doc::Document& document() override { return m_doc; }
  const kivo::doc::Document& document() const override { return m_doc; }
  kivo::Status commit_transaction(const std::string& message, int64_t time_seconds) override;

  // Applies change chunks from another peer and records them in the store.
  kivo::Status apply_remote_changes(const std::vector<kivo::doc::Bytes>& changes);

  const persist::Handle& store() const { return m_store; }

private:
  PersistedDocument(persist::Handle store, kivo::doc::Document doc) : m_store(std::move(store)), m_doc(std::move(doc)) {}
  kivo::Status record_new_changes();  // appends what changed since the last record

  persist::Handle m_store;
  kivo::doc::Document m_doc;
};

}  // namespace kivo_ui::doc
