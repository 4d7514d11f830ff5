#include "runtime/blobs/blobstore.h"

#include <mutex>

namespace kivo_blobs::blobstore {
namespace {

std::mutex g_mutex;
std::shared_ptr<BlobStore> g_store;

}  // namespace

const char* display_text(BlobDisplayState state) {
  switch (state) {
    case BlobDisplayState::Decoding: return "Decoding image…";
    case BlobDisplayState::Loading: return "Loading shared image…";
    case BlobDisplayState::Unavailable: return "Shared image unavailable";
  }
  return "Shared image unavailable";
}

void set_store(std::shared_ptr<BlobStore> store) {
  std::lock_guard lock(g_mutex);
  g_store = std::move(store);
}

std::shared_ptr<BlobStore> store() {
  std::lock_guard lock(g_mutex);
  return g_store;
}

kivo::Result<std::string> put(const Bytes& bytes) {
  auto s = store();
  if (!s) return kivo::make_error("no blob store is installed");
  return s->put(bytes);
}

std::optional<Bytes> get(const std::string& id) {
  auto s = store();
  if (!s) return std::nullopt;
  return s->get(id);
}

BlobDisplayState state(const std::string& id) {
  auto s = store();
  if (!s || !is_blob_id(id)) return BlobDisplayState::Unavailable;
  if (s->has(id)) return BlobDisplayState::Decoding;
  if (auto* fs_store = dynamic_cast<FsBlobStore*>(s.get()); fs_store && fs_store->is_awaited(id))
    return BlobDisplayState::Loading;
  return BlobDisplayState::Unavailable;
}

}  // namespace kivo_blobs::blobstore
