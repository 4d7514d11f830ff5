#include "call/media_packet.h"

#include <glib.h>

namespace chat {

const char* media_kind_display_name(MediaKind kind) {
  switch (kind) {
    case MediaKind::Microphone: return "Microphone";
    case MediaKind::Camera: return "Camera";
    case MediaKind::ScreenShare: return "Screen sharing";
  }
  return "Microphone";
}

std::optional<MediaKind> media_kind_from_wire(uint8_t number) {
  if (number > 2) return std::nullopt;
  return static_cast<MediaKind>(number);
}

namespace {

// The timestamp in whole milliseconds, when it is not negative and fits in 64 bits.
std::optional<uint64_t> timestamp_millis(std::chrono::nanoseconds ts) {
  if (ts.count() < 0) return std::nullopt;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(ts).count());
}

void put_le(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t get_le(std::span<const uint8_t> b, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint64_t(b[at + i]) << (8 * i);
  return v;
}

}  // namespace

bool is_valid_packet(const MediaPacket& p) {
  return !p.sender.empty() && p.sender.size() <= kMaxSenderBytes && p.payload.size() <= kMaxMediaPayload &&
         timestamp_millis(p.timestamp).has_value();
}

std::vector<uint8_t> encode_packet(const MediaPacket& p) {
  std::vector<uint8_t> out;
  out.reserve(kPacketFixedBytes + p.sender.size() + p.payload.size());
  out.push_back(static_cast<uint8_t>(p.kind));
  put_le(out, p.sequence, 8);
  put_le(out, timestamp_millis(p.timestamp).value_or(0), 8);
  put_le(out, p.sender.size(), 2);
  out.insert(out.end(), p.sender.begin(), p.sender.end());
  put_le(out, p.payload.size(), 4);
  out.insert(out.end(), p.payload.begin(), p.payload.end());
  return out;
}

std::optional<MediaPacket> decode_packet(std::span<const uint8_t> b) {
  if (b.empty()) return std::nullopt;
  auto kind = media_kind_from_wire(b[0]);
  if (!kind || b.size() < 19) return std::nullopt;
  size_t s = get_le(b, 17, 2);
  if (s == 0 || s > kMaxSenderBytes || b.size() < 19 + s) return std::nullopt;
  const char* sender = reinterpret_cast<const char*>(b.data() + 19);
  if (!g_utf8_validate(sender, static_cast<gssize>(s), nullptr)) return std::nullopt;
  if (b.size() < kPacketFixedBytes + s) return std::nullopt;
  size_t p = get_le(b, 19 + s, 4);
  if (p > kMaxMediaPayload || b.size() != kPacketFixedBytes + s + p) return std::nullopt;

  MediaPacket packet;
  packet.kind = *kind;
  packet.sequence = get_le(b, 1, 8);
  uint64_t ms = get_le(b, 9, 8);
  // Milliseconds beyond what nanoseconds in 64 bits can hold are refused rather than wrapped.
  if (ms > static_cast<uint64_t>(std::chrono::nanoseconds::max().count() / 1'000'000)) return std::nullopt;
  packet.timestamp = std::chrono::milliseconds(static_cast<int64_t>(ms));
  packet.sender.assign(sender, s);
  packet.payload.assign(b.begin() + static_cast<ptrdiff_t>(kPacketFixedBytes + s), b.end());
  if (!is_valid_packet(packet)) return std::nullopt;
  return packet;
}

}  // namespace chat
