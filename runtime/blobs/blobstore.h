// The process-wide blob store: installed once at start, then reached through these functions.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "runtime/blobs/blob_store.h"
#include "runtime/blobs/sniff.h"

namespace kivo_blobs::blobstore {

// How an image whose bytes are not ready yet is shown.
enum class BlobDisplayState {
  Decoding,     // the bytes are here; the picture is being decoded
  Loading,      // the bytes are expected from another peer
  Unavailable,  // no store, a malformed id, or bytes that are nowhere to be had
};
const char* display_text(BlobDisplayState state);  // "Decoding image…", "Loading shared image…", ...

void set_store(std::shared_ptr<BlobStore> store);  // replaces the process-wide store
std::shared_ptr<BlobStore> store();                // the installed store, or null

kivo::Result<std::string> put(const Bytes& bytes);  // fails when no store is installed
std::optional<Bytes> get(const std::string& id);    // nothing when absent, damaged or no store
BlobDisplayState state(const std::string& id);

}  // namespace kivo_blobs::blobstore
