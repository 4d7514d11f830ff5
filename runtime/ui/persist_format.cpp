#include "runtime/ui/persist_format.h"

#include <cstring>
#include <string>

#include "runtime/ui/crc32.h"

namespace kivo_ui::persist {
namespace {

constexpr char kLogMagic[8] = {'K', 'I', 'V', 'O', 'L', 'O', 'G', '1'};
constexpr char kSnapshotMagic[8] = {'K', 'I', 'V', 'O', 'S', 'N', 'P', '1'};

void put_le(Bytes& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t get_le(std::span<const uint8_t> in, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint64_t(in[at + i]) << (8 * i);
  return v;
}

bool has_magic(std::span<const uint8_t> in, const char (&magic)[8]) {
  return in.size() >= 8 && std::memcmp(in.data(), magic, 8) == 0;
}

uint32_t record_crc(std::span<const uint8_t> length_bytes, std::span<const uint8_t> payload) {
  return crc32(payload, crc32(length_bytes));
}

}  // namespace

Bytes encode_log_header(uint64_t generation) {
  Bytes out(kLogMagic, kLogMagic + 8);
  put_le(out, generation, 8);
  return out;
}

Bytes encode_record(std::span<const uint8_t> payload) {
  Bytes out;
  out.reserve(kRecordHeaderSize + payload.size());
  put_le(out, payload.size(), 4);
  put_le(out, record_crc(std::span(out).first(4), payload), 4);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes encode_snapshot(uint64_t covers_generation, std::span<const uint8_t> payload) {
  Bytes out(kSnapshotMagic, kSnapshotMagic + 8);
  out.reserve(kSnapshotHeaderSize + payload.size());
  put_le(out, covers_generation, 8);
  put_le(out, payload.size(), 8);
  put_le(out, crc32(payload), 4);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

kivo::Result<LogScan> scan_log(std::span<const uint8_t> file) {
  if (file.size() < kLogHeaderSize || !has_magic(file, kLogMagic))
    return kivo::make_error("not a change log (missing or unknown header)");
  LogScan scan;
  scan.generation = get_le(file, 8, 8);
  size_t at = kLogHeaderSize;
  while (file.size() - at >= kRecordHeaderSize) {
    uint64_t length = get_le(file, at, 4);
    uint32_t stored_crc = static_cast<uint32_t>(get_le(file, at + 4, 4));
    if (length > kMaxRecordSize || length > file.size() - at - kRecordHeaderSize) break;
    auto payload = file.subspan(at + kRecordHeaderSize, length);
    if (record_crc(file.subspan(at, 4), payload) != stored_crc) break;
    scan.records.emplace_back(payload.begin(), payload.end());
    at += kRecordHeaderSize + length;
  }
  scan.intact_size = at;
  scan.dropped_bytes = file.size() - at;
  return scan;
}

kivo::Result<Snapshot> decode_snapshot(std::span<const uint8_t> file) {
  if (file.size() < kSnapshotHeaderSize || !has_magic(file, kSnapshotMagic))
    return kivo::make_error("not a snapshot (missing or unknown header)");
  uint64_t length = get_le(file, 16, 8);
  if (length != file.size() - kSnapshotHeaderSize)
    return kivo::make_error("snapshot length " + std::to_string(length) + " does not match its file (" +
                            std::to_string(file.size() - kSnapshotHeaderSize) + " payload bytes)");
  auto payload = file.subspan(kSnapshotHeaderSize);
  if (crc32(payload) != static_cast<uint32_t>(get_le(file, 24, 4)))
    return kivo::make_error("snapshot checksum mismatch");
  return Snapshot{get_le(file, 8, 8), Bytes(payload.begin(), payload.end())};
}

}  // namespace kivo_ui::persist
