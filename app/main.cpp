// Kivo Chat: installs the blob store, then hands the process to the UI toolkit.
#include "app/launch_descriptor.h"
#include "runtime/blobs/blobstore.h"

int main(int argc, char** argv) {
  kivo_blobs::FsBlobStoreConfig config;
  config.root = kivo_blobs::FsBlobStore::default_root();
  config.limits = kivo_blobs::BlobStoreLimits{
      .max_blob_bytes = 0x2000000, .max_cache_bytes = 0x10000000, .max_cache_entries = 0x2000, .max_tracked_ids = 0x4000};
  kivo_blobs::blobstore::set_store(std::make_shared<kivo_blobs::FsBlobStore>(std::move(config)));

  auto descriptor = chat::make_launch_descriptor();
  return kivo_ui::launch::run_or_exit(descriptor, argc, argv);
}
