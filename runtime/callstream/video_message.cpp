// Building and checking video messages.
#include "runtime/callstream/video_message.h"

#include <algorithm>
#include <string>

extern "C" {
#include <libavutil/crc.h>
}

namespace kivo::callstream {
namespace {

constexpr std::uint8_t kMagic0 = 'K';
constexpr std::uint8_t kMagic1 = 'V';
constexpr std::uint8_t kKeyframeFlag = 0x01;

void put_u16(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 8);
  out[1] = static_cast<std::uint8_t>(value);
}

void put_u32(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t get_u16(const std::uint8_t* in) { return (std::uint32_t{in[0]} << 8) | in[1]; }

std::uint32_t get_u32(const std::uint8_t* in) {
  return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) | in[3];
}

// CRC-32 as zlib and PNG compute it, over the first 16 header bytes and the access unit.
std::uint32_t message_crc(std::span<const std::uint8_t> head, std::span<const std::uint8_t> access_unit) {
  const AVCRC* table = av_crc_get_table(AV_CRC_32_IEEE_LE);
  std::uint32_t crc = av_crc(table, UINT32_MAX, head.data(), head.size());
  crc = av_crc(table, crc, access_unit.data(), access_unit.size());
  return crc ^ UINT32_MAX;
}

}  // namespace

bool is_supported_frame_size(int width, int height) {
  if (width < 2 || height < 2 || width > kMaxFrameDimension || height > kMaxFrameDimension) return false;
  if (width % 2 != 0 || height % 2 != 0) return false;
  return static_cast<std::int64_t>(width) * height <= kMaxFramePixels;
}

std::vector<std::uint8_t> build_message(const MessageHeader& header, std::span<const std::uint8_t> access_unit) {
  std::vector<std::uint8_t> out(kMessageHeaderBytes + access_unit.size());
  std::uint8_t* p = out.data();
  p[0] = kMagic0;
  p[1] = kMagic1;
  p[2] = kMessageVersion;
  p[3] = header.keyframe ? kKeyframeFlag : 0;
  put_u16(p + 4, static_cast<std::uint32_t>(header.width));
  put_u16(p + 6, static_cast<std::uint32_t>(header.height));
  put_u32(p + 8, header.stream_id);
  put_u32(p + 12, header.sequence);
  put_u32(p + 16, message_crc({p, 16}, access_unit));
  std::copy(access_unit.begin(), access_unit.end(), out.begin() + kMessageHeaderBytes);
  return out;
}

kivo::Result<ParsedMessage> parse_message(std::span<const std::uint8_t> bytes) {
  if (bytes.size() <= kMessageHeaderBytes) return make_error("video message shorter than its header");
  if (bytes.size() > kMaxMessageBytes) return make_error("video message exceeds 2 MiB");
  const std::uint8_t* p = bytes.data();
  if (p[0] != kMagic0 || p[1] != kMagic1) return make_error("not a video message");
  if (p[2] != kMessageVersion) return make_error("unsupported video message version " + std::to_string(p[2]));
  if ((p[3] & ~kKeyframeFlag) != 0) return make_error("unknown video message flags");
  ParsedMessage parsed;
  parsed.header.keyframe = (p[3] & kKeyframeFlag) != 0;
  parsed.header.width = static_cast<int>(get_u16(p + 4));
  parsed.header.height = static_cast<int>(get_u16(p + 6));
  parsed.header.stream_id = get_u32(p + 8);
  parsed.header.sequence = get_u32(p + 12);
  if (!is_supported_frame_size(parsed.header.width, parsed.header.height))
    return make_error("video message frame size out of range");
  parsed.access_unit = bytes.subspan(kMessageHeaderBytes);
  if (message_crc(bytes.first(16), parsed.access_unit) != get_u32(p + 16))
    return make_error("video message checksum mismatch");
  return parsed;
}

}  // namespace kivo::callstream
