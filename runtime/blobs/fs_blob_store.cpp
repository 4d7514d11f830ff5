#include "runtime/blobs/blob_store.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include "runtime/base/hex.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <list>
#include <mutex>
#include <random>
#include <unordered_map>

namespace kivo_blobs {

namespace fs = std::filesystem;

std::string blob_id_for(const Bytes& bytes) {
  unsigned char hash[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(hash, bytes.data(), bytes.size());
  return kivo::to_hex(hash, sizeof hash);
}

bool is_blob_id(std::string_view id) {
  if (id.size() != 64) return false;
  for (char c : id)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

namespace {

std::string folded(std::string_view id) {
  std::string out(id);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

kivo::Error errno_error(const std::string& what) { return kivo::make_error(what + ": " + std::strerror(errno)); }

std::optional<Bytes> read_file(const fs::path& path, uint64_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  auto size = static_cast<uint64_t>(in.tellg());
  if (size > limit) return std::nullopt;
  in.seekg(0);
  Bytes bytes(size);
  if (size && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

}  // namespace

// Recently read blobs kept in memory (least recently used first out) and the awaited ids.
struct FsBlobStore::State {
  std::mutex mutex;
  std::list<std::string> lru;  // most recent at the front
  struct Entry {
    Bytes bytes;
    std::list<std::string>::iterator position;
  };
  std::unordered_map<std::string, Entry> cache;
  uint64_t cache_bytes = 0;
  std::list<std::string> awaited_order;
  std::unordered_map<std::string, std::list<std::string>::iterator> awaited;

  void remember(const std::string& id, const Bytes& bytes, const BlobStoreLimits& limits) {
    if (bytes.size() > limits.max_cache_bytes || limits.max_cache_entries == 0) return;
    forget(id);
    lru.push_front(id);
    cache.emplace(id, Entry{bytes, lru.begin()});
    cache_bytes += bytes.size();
    while (cache_bytes > limits.max_cache_bytes || cache.size() > limits.max_cache_entries) forget(lru.back());
  }
  void forget(const std::string& id) {
    auto it = cache.find(id);
    if (it == cache.end()) return;
    cache_bytes -= it->second.bytes.size();
    lru.erase(it->second.position);
    cache.erase(it);
  }
};

FsBlobStore::FsBlobStore(FsBlobStoreConfig config) : m_config(std::move(config)), m_state(std::make_unique<State>()) {
  if (sodium_init() < 0) std::abort();
}

FsBlobStore::~FsBlobStore() = default;

fs::path FsBlobStore::default_root() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
    return fs::path(xdg) / "kivo" / "blobs";
  if (const char* home = std::getenv("HOME"); home && *home) {
    fs::path data = fs::path(home) / ".local" / "share";
    return data / "kivo" / "blobs";
  }
  return fs::path(".kivo-blobs");
}

fs::path FsBlobStore::path_for(const std::string& id) const { return m_config.root / id.substr(0, 2) / id; }

kivo::Status FsBlobStore::write_atomically(const std::string& id, const Bytes& bytes) {
  fs::path final_path = path_for(id);
  std::error_code ec;
  fs::create_directories(final_path.parent_path(), ec);
  if (ec) return kivo::make_error("cannot create blob folder " + final_path.parent_path().string() + ": " + ec.message());

  static thread_local std::mt19937_64 rng{std::random_device{}()};
  fs::path tmp = final_path.parent_path() / (".tmp-" + id.substr(0, 16) + "-" + std::to_string(rng()));
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno_error("cannot create " + tmp.string());
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      auto error = errno_error("cannot write blob");
      ::close(fd);
      ::unlink(tmp.c_str());
      return error;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) {
    auto error = errno_error("cannot flush blob");
    ::close(fd);
    ::unlink(tmp.c_str());
    return error;
  }
  ::close(fd);
  if (::rename(tmp.c_str(), final_path.c_str()) != 0) {
    auto error = errno_error("cannot store blob");
    ::unlink(tmp.c_str());
    return error;
  }
  // Make the rename itself durable.
  int dir = ::open(final_path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

kivo::Result<std::string> FsBlobStore::put(const Bytes& bytes) {
  if (bytes.size() > m_config.limits.max_blob_bytes)
    return kivo::make_error("blob of " + std::to_string(bytes.size()) + " bytes exceeds the limit of " +
                            std::to_string(m_config.limits.max_blob_bytes) + " bytes");
  std::string id = blob_id_for(bytes);
  KIVO_TRY(put_checked(id, bytes));
  return id;
}

kivo::Status FsBlobStore::put_checked(const std::string& given_id, const Bytes& bytes) {
  if (!is_blob_id(given_id)) return kivo::make_error("malformed blob id");
  if (bytes.size() > m_config.limits.max_blob_bytes)
    return kivo::make_error("blob of " + std::to_string(bytes.size()) + " bytes exceeds the limit of " +
                            std::to_string(m_config.limits.max_blob_bytes) + " bytes");
  std::string id = folded(given_id);
  if (blob_id_for(bytes) != id) return kivo::make_error("blob bytes do not match their id");
  if (!get(id)) KIVO_TRY(write_atomically(id, bytes));  // a damaged copy is replaced
  std::lock_guard lock(m_state->mutex);
  m_state->remember(id, bytes, m_config.limits);
  if (auto it = m_state->awaited.find(id); it != m_state->awaited.end()) {
    m_state->awaited_order.erase(it->second);
    m_state->awaited.erase(it);
  }
  return {};
}

std::optional<Bytes> FsBlobStore::get(const std::string& given_id) {
  if (!is_blob_id(given_id)) return std::nullopt;
  std::string id = folded(given_id);
  {
    std::lock_guard lock(m_state->mutex);
    if (auto it = m_state->cache.find(id); it != m_state->cache.end()) {
      m_state->lru.splice(m_state->lru.begin(), m_state->lru, it->second.position);
      return it->second.bytes;
    }
  }
  auto bytes = read_file(path_for(id), m_config.limits.max_blob_bytes);
  if (!bytes || blob_id_for(*bytes) != id) return std::nullopt;  // missing, oversized or damaged
  std::lock_guard lock(m_state->mutex);
  m_state->remember(id, *bytes, m_config.limits);
  return bytes;
}

bool FsBlobStore::has(const std::string& id) { return get(id).has_value(); }

kivo::Result<size_t> FsBlobStore::evict_unreferenced(const std::set<std::string>& referenced) {
  std::set<std::string> keep;
  for (const auto& id : referenced) keep.insert(folded(id));
  size_t removed = 0;
  std::error_code ec;
  if (!fs::exists(m_config.root, ec)) return removed;
  for (auto it = fs::recursive_directory_iterator(m_config.root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string name = it->path().filename().string();
    bool is_tmp = name.rfind(".tmp-", 0) == 0;
    if (!is_tmp && (!is_blob_id(name) || keep.count(folded(name)))) continue;
    if (fs::remove(it->path(), ec)) {
      if (!is_tmp) ++removed;
      std::lock_guard lock(m_state->mutex);
      m_state->forget(folded(name));
    }
  }
  if (ec) return kivo::make_error("cannot scan blob folder: " + ec.message());
  return removed;
}

void FsBlobStore::note_awaited(const std::string& given_id) {
  if (!is_blob_id(given_id)) return;
  std::string id = folded(given_id);
  std::lock_guard lock(m_state->mutex);
  if (m_state->awaited.count(id) || m_config.limits.max_tracked_ids == 0) return;
  m_state->awaited_order.push_front(id);
  m_state->awaited.emplace(id, m_state->awaited_order.begin());
  while (m_state->awaited.size() > m_config.limits.max_tracked_ids) {
    m_state->awaited.erase(m_state->awaited_order.back());
    m_state->awaited_order.pop_back();
  }
}

bool FsBlobStore::is_awaited(const std::string& id) {
  if (!is_blob_id(id)) return false;
  std::lock_guard lock(m_state->mutex);
  return m_state->awaited.count(folded(id)) != 0;
}

}  // namespace kivo_blobs
