// BlobStore: content-addressed storage of attachment bytes, and the file-system store behind it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/result.h"

namespace kivo_blobs {

using Bytes = std::vector<uint8_t>;

// The interface the process-wide store answers.
class BlobStore {
public:
  virtual ~BlobStore() = default;
  virtual kivo::Result<std::string> put(const Bytes& bytes) = 0;                          // the blob id
  virtual kivo::Status put_checked(const std::string& id, const Bytes& bytes) = 0;        // refuses bytes not matching id
  virtual std::optional<Bytes> get(const std::string& id) = 0;                            // verified bytes, or nothing
  virtual bool has(const std::string& id) = 0;
  // Removes every stored blob whose id is not in `referenced`; answers how many were removed.
  virtual kivo::Result<size_t> evict_unreferenced(const std::set<std::string>& referenced) = 0;
};

struct BlobStoreLimits {
  uint64_t max_blob_bytes = 32u << 20;    // largest single blob
  uint64_t max_cache_bytes = 256u << 20;  // bytes of recently read blobs kept in memory
  uint64_t max_cache_entries = 8192;      // blobs kept in memory
  uint64_t max_tracked_ids = 16384;       // ids remembered as awaited from elsewhere
};

struct FsBlobStoreConfig {
  std::filesystem::path root;
  BlobStoreLimits limits;
};

// Blob id: SHA-256 of the bytes as 64 lower-case hex digits.
std::string blob_id_for(const Bytes& bytes);
bool is_blob_id(std::string_view id);  // 64 hex digits (either case is accepted and folded)

// Stores each blob as root/<first two digits>/<id>, written atomically (temporary file, fsync,
// rename), and verifies every read against its id, so a damaged file reads as nothing.
class FsBlobStore final : public BlobStore {
public:
  explicit FsBlobStore(FsBlobStoreConfig config);
  ~FsBlobStore() override;

  // The XDG data directory plus "kivo/blobs", else ~/.kivo/blobs, else ./.kivo-blobs.
  static std::filesystem::path default_root();

  kivo::Result<std::string> put(const Bytes& bytes) override;
  kivo::Status put_checked(const std::string& id, const Bytes& bytes) override;
  std::optional<Bytes> get(const std::string& id) override;
  bool has(const std::string& id) override;
  kivo::Result<size_t> evict_unreferenced(const std::set<std::string>& referenced) override;

  // Remembers that `id` is expected from elsewhere (a peer); bounded by max_tracked_ids.
  void note_awaited(const std::string& id);
  bool is_awaited(const std::string& id);

  const FsBlobStoreConfig& config() const { return m_config; }

private:
  struct State;
  std::filesystem::path path_for(const std::string& id) const;
  kivo::Status write_atomically(const std::string& id, const Bytes& bytes);

  FsBlobStoreConfig m_config;
  std::unique_ptr<State> m_state;
};

}  // namespace kivo_blobs
