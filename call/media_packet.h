// MediaPacket: one unit of call media between participants, and its byte encoding.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "call/media_kind.h"

namespace chat {

inline constexpr size_t kMaxMediaPayload = 2'097'152;  // 2 MiB
inline constexpr size_t kMaxSenderBytes = 256;
inline constexpr size_t kPacketFixedBytes = 23;

struct MediaPacket {
  MediaKind kind = MediaKind::Microphone;
  uint64_t sequence = 0;
  std::chrono::nanoseconds timestamp{0};  // media time; travels with millisecond resolution
  std::string sender;                     // user id, 1..256 bytes of UTF-8
  std::vector<uint8_t> payload;           // at most 2 MiB
  bool operator==(const MediaPacket&) const = default;
};

bool is_valid_packet(const MediaPacket& packet);

// Little-endian: kind, sequence, timestamp ms, sender length + sender, payload length + payload.
std::vector<uint8_t> encode_packet(const MediaPacket& packet);
// Nothing for anything but an exact, valid encoding.
std::optional<MediaPacket> decode_packet(std::span<const uint8_t> body);

}  // namespace chat
