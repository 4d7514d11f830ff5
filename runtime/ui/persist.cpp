#include "runtime/ui/persist.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <system_error>

namespace kivo_ui::persist {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSnapshotName = "snapshot";
constexpr const char* kLogName = "changes.log";
constexpr const char* kLockName = "lock";

std::string errno_text(int err) { return std::system_category().message(err); }

kivo::Error io_error(const std::string& what, const fs::path& path, int err = errno) {
  return kivo::make_error(what + " " + path.string() + ": " + errno_text(err));
}

kivo::Status write_all(int fd, std::span<const uint8_t> bytes, uint64_t offset) {
  while (!bytes.empty()) {
    ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return kivo::make_error(errno_text(errno));
    }
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  return {};
}

// The whole file, or nothing when it does not exist.
kivo::Result<std::optional<Bytes>> read_file(const fs::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::optional<Bytes>();
    return io_error("cannot open", path);
  }
  Bytes out;
  uint8_t buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      return io_error("cannot read", path, err);
    }
    if (n == 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  ::close(fd);
  return std::optional<Bytes>(std::move(out));
}

kivo::Status sync_dir(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return io_error("cannot open directory", dir);
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  if (rc != 0) return io_error("cannot sync directory", dir, err);
  return {};
}

// Replaces dir/name by `bytes` so that a crash leaves either the old or the new file whole.
kivo::Status write_atomically(const fs::path& dir, const std::string& name, std::span<const uint8_t> bytes) {
  fs::path tmp = dir / (name + ".tmp");
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return io_error("cannot create", tmp);
  auto written = write_all(fd, bytes, 0);
  if (written.ok() && ::fsync(fd) != 0) written = kivo::make_error(errno_text(errno));
  ::close(fd);
  if (!written.ok()) {
    ::unlink(tmp.c_str());
    return kivo::make_error("cannot write " + tmp.string() + ": " + written.error().message);
  }
  if (::rename(tmp.c_str(), (dir / name).c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    return io_error("cannot replace", dir / name, err);
  }
  return sync_dir(dir);
}

kivo::Status make_dir(const fs::path& dir) {
  std::error_code ec;
  bool created = fs::create_directories(dir, ec);
  if (ec) return kivo::make_error("cannot create " + dir.string() + ": " + ec.message());
  if (created && dir.has_parent_path()) return sync_dir(dir.parent_path());
  return {};
}

// Takes the store's lock without waiting; a held lock names the process that holds it.
kivo::Result<int> take_lock(const fs::path& dir) {
  fs::path path = dir / kLockName;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return io_error("cannot open", path);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    std::string holder;
    char text[32] = {};
    ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n > 0) holder = std::string(text, static_cast<size_t>(n));
    ::close(fd);
    if (err == EWOULDBLOCK)
      return kivo::make_error("the workspace store in " + dir.string() + " is already open" +
                              (holder.empty() ? std::string() : " by process " + holder) +
                              "; close the other instance first");
    return io_error("cannot lock", path, err);
  }
  std::string pid = std::to_string(::getpid());
  if (::ftruncate(fd, 0) == 0) (void)write_all(fd, std::span(reinterpret_cast<const uint8_t*>(pid.data()), pid.size()), 0);
  return fd;
}

}  // namespace

kivo::Result<Handle> open_store(const Request& request, const fs::path* legacy_file) {
  Handle store(new Store());
  store->m_app_id = request.app_id;
  store->m_compact_after_bytes = request.compact_after_bytes;
  store->m_compact_after_records = request.compact_after_records;
  store->m_data_dir = request.data_dir;
  if (!store->m_data_dir && legacy_file) store->m_data_dir = legacy_file->parent_path();
  if (!store->m_data_dir) {
    store->m_log_size = 0;
    return store;
  }

  store->m_dir = *store->m_data_dir / "document";
  KIVO_TRY(make_dir(store->m_dir));
  KIVO_TRY_ASSIGN(lock_fd, take_lock(store->m_dir));
  store->m_lock_fd = lock_fd;
  for (const char* name : {kSnapshotName, kLogName})  // leftovers of an interrupted replacement
    ::unlink((store->m_dir / (std::string(name) + ".tmp")).c_str());

  const fs::path snapshot_path = store->m_dir / kSnapshotName;
  const fs::path log_path = store->m_dir / kLogName;
  uint64_t covers = 0;
  bool has_snapshot = false;
  KIVO_TRY_ASSIGN(snapshot_file, read_file(snapshot_path));
  if (snapshot_file) {
    auto snapshot = decode_snapshot(*snapshot_file);
    if (!snapshot.ok())
      return kivo::make_error("the workspace snapshot " + snapshot_path.string() + " is damaged (" +
                              snapshot.error().message + "); it was left untouched");
    covers = snapshot->covers_generation;
    store->m_initial_snapshot = std::move(snapshot->payload);
    has_snapshot = true;
  }

  KIVO_TRY_ASSIGN(log_file, read_file(log_path));
  std::optional<LogScan> scan;
  if (log_file) {
    auto scanned = scan_log(*log_file);
    if (!scanned.ok())
      return kivo::make_error("the change log " + log_path.string() + " is unreadable (" +
                              scanned.error().message + "); it was left untouched");
    scan = std::move(scanned.value());
    log_file.reset();
  }

  std::lock_guard guard(store->m_mutex);
  if (scan && scan->generation > covers) {
    int fd = ::open(log_path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return io_error("cannot open", log_path);
    store->m_log_fd = fd;
    store->m_generation = scan->generation;
    store->m_log_size = scan->intact_size;
    store->m_log_records = scan->records.size();
    if (scan->dropped_bytes > 0) {
      // Cut the damaged tail away so that later appends follow the last intact record.
      if (::ftruncate(fd, static_cast<off_t>(scan->intact_size)) != 0 || ::fdatasync(fd) != 0)
        return io_error("cannot cut the damaged tail of", log_path);
      store->m_report.dropped_tail_bytes = scan->dropped_bytes;
      std::cerr << "kivo: dropped a damaged tail of " << scan->dropped_bytes << " bytes from " << log_path.string()
                << " after " << scan->records.size() << " intact changes\n";
    }
    store->m_initial_changes = std::move(scan->records);
  } else {
    store->m_report.discarded_stale_log = scan.has_value() && has_snapshot;
    KIVO_TRY(store->reset_log_locked(covers + 1));
  }

  if (legacy_file && !has_snapshot && store->m_initial_changes.empty()) {
    KIVO_TRY_ASSIGN(legacy, read_file(*legacy_file));
    if (legacy && !legacy->empty()) {
      KIVO_TRY(write_atomically(store->m_dir, kSnapshotName, encode_snapshot(store->m_generation - 1, *legacy)));
      store->m_initial_snapshot = std::move(*legacy);
      store->m_report.migrated = true;
    }
  }
  store->m_report.snapshot_bytes = store->m_initial_snapshot.size();
  store->m_report.change_records = store->m_initial_changes.size();
  return store;
}

Store::~Store() {
  if (m_log_fd >= 0) ::close(m_log_fd);
  if (m_lock_fd >= 0) ::close(m_lock_fd);  // releases the lock
}

Bytes Store::initial_bytes() const {
  Bytes out = m_initial_snapshot;
  for (const auto& change : m_initial_changes) out.insert(out.end(), change.begin(), change.end());
  return out;
}

void Store::release_initial() {
  Bytes().swap(m_initial_snapshot);
  std::vector<Bytes>().swap(m_initial_changes);
}

kivo::Status Store::reset_log_locked(uint64_t generation) {
  const fs::path log_path = m_dir / kLogName;
  KIVO_TRY(write_atomically(m_dir, kLogName, encode_log_header(generation)));
  int fd = ::open(log_path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return io_error("cannot open", log_path);
  if (m_log_fd >= 0) ::close(m_log_fd);
  m_log_fd = fd;
  m_generation = generation;
  m_log_size = kLogHeaderSize;
  m_log_records = 0;
  m_log_reset_pending = false;
  m_broken = false;
  return {};
}

kivo::Status Store::append_change(std::span<const uint8_t> change) {
  if (change.size() > kMaxRecordSize)
    return kivo::make_error("change of " + std::to_string(change.size()) + " bytes exceeds the store's limit of " +
                            std::to_string(kMaxRecordSize));
  std::lock_guard guard(m_mutex);
  if (!m_data_dir) {
    m_log_size += kRecordHeaderSize + change.size();
    ++m_log_records;
    return {};
  }
  if (m_broken)
    return kivo::make_error("the change log " + (m_dir / kLogName).string() +
                            " could not be restored after a failed write; nothing more is appended until compaction");
  if (m_log_reset_pending) KIVO_TRY(reset_log_locked(m_generation + 1));

  Bytes record = encode_record(change);
  auto written = write_all(m_log_fd, record, m_log_size);
  if (written.ok() && ::fdatasync(m_log_fd) != 0) written = kivo::make_error(errno_text(errno));
  if (!written.ok()) {
    // Take the partial record back so that the next append does not land behind garbage.
    if (::ftruncate(m_log_fd, static_cast<off_t>(m_log_size)) != 0) m_broken = true;
    return kivo::make_error("cannot append a change to " + (m_dir / kLogName).string() + ": " +
                            written.error().message);
  }
  m_log_size += record.size();
  ++m_log_records;
  return {};
}

kivo::Status Store::compact(std::span<const uint8_t> snapshot) {
  std::lock_guard guard(m_mutex);
  if (!m_data_dir) {
    m_log_size = 0;
    m_log_records = 0;
    return {};
  }
  KIVO_TRY(write_atomically(m_dir, kSnapshotName, encode_snapshot(m_generation, snapshot)));
  // The snapshot now covers this log generation: a crash from here on discards the old log at open.
  // Should replacing the log fail, the next append replaces it first, so no change goes into a
  // log that the snapshot already covers.
  m_log_reset_pending = true;
  m_broken = false;
  auto reset = reset_log_locked(m_generation + 1);
  if (!reset.ok())
    std::cerr << "kivo: snapshot written, but the change log could not be replaced yet: " << reset.error().message
              << "\n";
  return {};
}

bool Store::needs_compaction() const {
  std::lock_guard guard(m_mutex);
  uint64_t payload = m_data_dir ? m_log_size - kLogHeaderSize : m_log_size;
  return m_log_records >= m_compact_after_records || payload >= m_compact_after_bytes;
}

size_t Store::log_records() const {
  std::lock_guard guard(m_mutex);
  return m_log_records;
}

uint64_t Store::log_bytes() const {
  std::lock_guard guard(m_mutex);
  return m_data_dir ? m_log_size - kLogHeaderSize : m_log_size;
}

kivo::Result<Handle> open(const Request& request) { return open_store(request, nullptr); }

kivo::Result<Handle> open_migrating(const Request& request, const std::filesystem::path& legacy_file) {
  return open_store(request, &legacy_file);
}

}  // namespace kivo_ui::persist
