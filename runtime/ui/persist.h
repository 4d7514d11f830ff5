// Persistence of the application's shared document in its data directory: a durable store of
// opaque byte chunks. The document layer hands it a full save now and then (`compact`) and every
// change chunk as it is committed (`append_change`); on open it gets back the last full save
// followed by every change since, which loads as one document.
//
// On disk (in <data dir>/document/): "snapshot" (the last full save), "changes.log" (framed
// change records, each synced before append_change returns) and "lock" (held with flock while
// the store is open, so a second opener is refused instead of interleaving writes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/ui/persist_format.h"

namespace kivo_ui::persist {

// What the toolkit asks the application's opener for.
struct Request {
  std::string app_id;
  std::optional<std::filesystem::path> data_dir;  // where the store lives; none keeps it in memory
  size_t compact_after_bytes = 8u << 20;          // needs_compaction() once the log is this large
  size_t compact_after_records = 4096;            // ... or holds this many changes
};

// What opening found, for diagnostics and tests.
struct OpenReport {
  size_t snapshot_bytes = 0;       // size of the full save handed back
  size_t change_records = 0;       // intact change records handed back after it
  uint64_t dropped_tail_bytes = 0; // torn or damaged log tail that was cut away
  bool discarded_stale_log = false;// a log already inside the snapshot (crash during compaction)
  bool migrated = false;           // the legacy file became the first snapshot
};

// The open store; the toolkit keeps it for the whole run. Methods may be called from any thread.
class Store {
public:
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::optional<std::filesystem::path>& data_dir() const { return m_data_dir; }  // none: in memory
  const std::string& app_id() const { return m_app_id; }
  const OpenReport& open_report() const { return m_report; }

  // What the store held at open: the snapshot followed by every intact change, concatenated.
  Bytes initial_bytes() const;
  const Bytes& initial_snapshot() const { return m_initial_snapshot; }
  const std::vector<Bytes>& initial_changes() const { return m_initial_changes; }
  void release_initial();  // frees the bytes above once the document has loaded them

  // Appends one change chunk durably: when this succeeds the change survives a crash.
  // On failure nothing of the chunk is kept.
  kivo::Status append_change(std::span<const uint8_t> change);

  // Replaces snapshot and log by `snapshot` (a full save holding every change appended so far).
  kivo::Status compact(std::span<const uint8_t> snapshot);

  bool needs_compaction() const;  // the log has outgrown the request's limits
  size_t log_records() const;     // change records since the last snapshot
  uint64_t log_bytes() const;     // their size in the log, framing included

private:
  Store() = default;
  friend kivo::Result<std::shared_ptr<Store>> open_store(const Request&, const std::filesystem::path*);

  kivo::Status reset_log_locked(uint64_t generation);

  std::string m_app_id;
  std::optional<std::filesystem::path> m_data_dir;
  std::filesystem::path m_dir;  // <data dir>/document
  size_t m_compact_after_bytes = 0;
  size_t m_compact_after_records = 0;
  OpenReport m_report;
  Bytes m_initial_snapshot;
  std::vector<Bytes> m_initial_changes;

  mutable std::mutex m_mutex;
  int m_lock_fd = -1;
  int m_log_fd = -1;
  uint64_t m_generation = 1;   // generation of the current log
  uint64_t m_log_size = 0;     // bytes of the current log file that are intact
  size_t m_log_records = 0;
  bool m_log_reset_pending = false;  // the snapshot covers the current log; it must be replaced first
  bool m_broken = false;             // the log could not be restored after a failed write
};

using Handle = std::shared_ptr<Store>;

kivo::Result<Handle> open(const Request& request);

// As open, and when the store is new, imports `legacy_file` (an earlier stand-alone save of the
// document) as its first snapshot; the file itself is left in place. A request without a data
// directory keeps the store next to the legacy file, in the directory that holds it.
kivo::Result<Handle> open_migrating(const Request& request, const std::filesystem::path& legacy_file);

}  // namespace kivo_ui::persist
