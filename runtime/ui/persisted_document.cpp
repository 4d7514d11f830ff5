#include "runtime/ui/persisted_document.h"

namespace kivo_ui::doc {

kivo::Result<std::unique_ptr<PersistedDocument>> PersistedDocument::open(persist::Handle store) {
  if (!store) return kivo::make_error("no document store");
  kivo::doc::Bytes bytes = store->initial_bytes();
  kivo::doc::Document doc;
  if (!bytes.empty()) {
    auto loaded = kivo::doc::Document::load(kivo::doc::ByteView(bytes.data(), bytes.size()));
    if (!loaded.ok()) return kivo::make_error("the workspace document does not load: " + loaded.error().message);
    doc = std::move(loaded).value();
  }
  store->release_initial();
  return std::unique_ptr<PersistedDocument>(new PersistedDocument(std::move(store), std::move(doc)));
}

kivo::Status PersistedDocument::commit_transaction(const std::string& message, int64_t time_seconds) {
  KIVO_TRY_ASSIGN(changed, commit_open(message, time_seconds));
  if (!changed) return {};
  return record_new_changes();
}

kivo::Status PersistedDocument::apply_remote_changes(const std::vector<kivo::doc::Bytes>& changes) {
  KIVO_TRY(m_doc.apply_changes(changes));
  return record_new_changes();
}

kivo::Status PersistedDocument::record_new_changes() {
  kivo::doc::Bytes fresh = m_doc.save_incremental();
  if (fresh.empty()) return {};
  KIVO_TRY(m_store->append_change(fresh));
  if (m_store->needs_compaction()) {
    // The change is already durable in the log; a failed compaction leaves the log as it is.
    kivo::doc::Bytes snapshot = m_doc.save();
    if (auto compacted = m_store->compact(snapshot); !compacted.ok())
      return kivo::make_error("could not compact the workspace store: " + compacted.error().message);
  }
  return {};
}

}  // namespace kivo_ui::doc
