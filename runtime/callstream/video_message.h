// The wire form of one encoded video frame: a checked 20-byte header followed by one
// H.264 access unit in Annex-B form (start codes, SPS and PPS in front of every keyframe).
//
//   offset  size  field
//   0       2     magic "KV"
//   2       1     version (1)
//   3       1     flags: bit 0 keyframe, other bits zero
//   4       2     width in pixels, big-endian
//   6       2     height in pixels, big-endian
//   8       4     stream id, big-endian (random per encoder instance)
//   12      4     sequence number, big-endian (+1 per message of a stream, wraps)
//   16      4     CRC-32 (IEEE) of bytes 0..15 and the access unit, big-endian
//   20      n     access unit (n >= 1)
//
// A whole message is at most kMaxMessageBytes. The sequence number lets a receiver see lost
// messages, the checksum lets it see damaged ones; either way it waits for the next keyframe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/base/result.h"

namespace kivo::callstream {

inline constexpr std::size_t kMaxMessageBytes = 2 * 1024 * 1024;  // 2 MiB, header included
inline constexpr std::size_t kMessageHeaderBytes = 20;
inline constexpr std::uint8_t kMessageVersion = 1;
inline constexpr int kMaxFrameDimension = 4096;                  // widest or tallest frame
inline constexpr std::int64_t kMaxFramePixels = 4096LL * 2304;   // largest frame area

struct MessageHeader {
  bool keyframe = false;        // decodable on its own (IDR with SPS and PPS)
  int width = 0;                // pixels, even, 2..kMaxFrameDimension
  int height = 0;               // pixels, even, 2..kMaxFrameDimension
  std::uint32_t stream_id = 0;  // which encoder produced it
  std::uint32_t sequence = 0;   // position in that encoder's output
};

struct ParsedMessage {
  MessageHeader header;
  std::span<const std::uint8_t> access_unit;  // points into the parsed bytes
};

// True for sizes an encoder may produce and a decoder accepts.
bool is_supported_frame_size(int width, int height);

// Header plus access unit; the caller checks the total against its own limit.
std::vector<std::uint8_t> build_message(const MessageHeader& header, std::span<const std::uint8_t> access_unit);

// Checks size, magic, version, flags, frame size and checksum; never reads out of bounds.
kivo::Result<ParsedMessage> parse_message(std::span<const std::uint8_t> bytes);

}  // namespace kivo::callstream
