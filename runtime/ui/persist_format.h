// On-disk layout of the document store: the change log (a header and framed records) and the
// snapshot file. Pure encoding and decoding; the store in persist.h does the file work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/base/result.h"

namespace kivo_ui::persist {

using Bytes = std::vector<uint8_t>;

// Log file: "KIVOLOG1", the generation (u64 LE), then records. A record is its payload length
// (u32 LE), the CRC-32 of the length bytes and the payload (u32 LE), then the payload.
inline constexpr size_t kLogHeaderSize = 16;
inline constexpr size_t kRecordHeaderSize = 8;
inline constexpr size_t kMaxRecordSize = 256u << 20;  // larger changes are refused

// Snapshot file: "KIVOSNP1", the log generation it covers (u64 LE), the payload length (u64 LE),
// the CRC-32 of the payload (u32 LE), then the payload.
inline constexpr size_t kSnapshotHeaderSize = 28;

Bytes encode_log_header(uint64_t generation);
Bytes encode_record(std::span<const uint8_t> payload);
Bytes encode_snapshot(uint64_t covers_generation, std::span<const uint8_t> payload);

// What a log file holds, up to the first record that is torn or damaged.
struct LogScan {
  uint64_t generation = 0;
  std::vector<Bytes> records;  // intact records, in order
  uint64_t intact_size = 0;    // bytes up to the end of the last intact record
  uint64_t dropped_bytes = 0;  // bytes after that (a torn or damaged tail)
};

// Fails only when the header is missing or is not a log header; damage after it ends the scan.
kivo::Result<LogScan> scan_log(std::span<const uint8_t> file);

struct Snapshot {
  uint64_t covers_generation = 0;  // every record of log generations up to this one is inside
  Bytes payload;
};

// Fails on any damage: a snapshot is written whole (temp file and rename) or not at all.
kivo::Result<Snapshot> decode_snapshot(std::span<const uint8_t> file);

}  // namespace kivo_ui::persist
