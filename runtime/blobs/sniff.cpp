#include "runtime/blobs/sniff.h"

#include <cstring>

namespace kivo_blobs::blobstore {
namespace {

uint32_t be16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }
uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }
uint32_t le24(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16); }
uint32_t le32(const uint8_t* p) { return le24(p) | (uint32_t(p[3]) << 24); }

Sniffed sized(ImageFormat format, uint32_t w, uint32_t h) {
  if (w == 0 || h == 0) return {};
  return {format, w, h};
}

Sniffed png(std::span<const uint8_t> b) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (b.size() < 24 || std::memcmp(b.data(), sig, 8) != 0 || std::memcmp(b.data() + 12, "IHDR", 4) != 0) return {};
  return sized(ImageFormat::Png, be32(b.data() + 16), be32(b.data() + 20));
}

Sniffed jpeg(std::span<const uint8_t> b) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return {};
  size_t i = 2;
  while (i + 4 <= b.size()) {
    if (b[i] != 0xFF) return {};
    uint8_t marker = b[i + 1];
    if (marker == 0xFF) { ++i; continue; }  // fill byte
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { i += 2; continue; }
    if (marker == 0xD9 || marker == 0xDA) return {};  // end of image or scan before any frame header
    uint32_t len = be16(b.data() + i + 2);
    if (len < 2) return {};
    bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof) {
      if (i + 9 > b.size()) return {};
      return sized(ImageFormat::Jpeg, be16(b.data() + i + 7), be16(b.data() + i + 5));
    }
    i += 2 + len;
  }
  return {};
}

Sniffed gif(std::span<const uint8_t> b) {
  if (b.size() < 10 || (std::memcmp(b.data(), "GIF87a", 6) != 0 && std::memcmp(b.data(), "GIF89a", 6) != 0)) return {};
  return sized(ImageFormat::Gif, le16(b.data() + 6), le16(b.data() + 8));
}

Sniffed bmp(std::span<const uint8_t> b) {
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return {};
  uint32_t header = le32(b.data() + 14);
  if (header == 12) return sized(ImageFormat::Bmp, le16(b.data() + 18), le16(b.data() + 20));
  if (header < 40) return {};
  int32_t w = static_cast<int32_t>(le32(b.data() + 18));
  int32_t h = static_cast<int32_t>(le32(b.data() + 22));  // negative height: rows stored top-down
  if (w <= 0 || h == INT32_MIN) return {};
  return sized(ImageFormat::Bmp, uint32_t(w), uint32_t(h < 0 ? -h : h));
}

Sniffed webp(std::span<const uint8_t> b) {
  if (b.size() < 30 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WEBP", 4) != 0) return {};
  const uint8_t* c = b.data() + 12;
  if (std::memcmp(c, "VP8 ", 4) == 0) {
    // Lossy: a key frame starts with the start code 9d 01 2a, then 14-bit width and height.
    const uint8_t* f = c + 8;
    if (f[3] != 0x9d || f[4] != 0x01 || f[5] != 0x2a) return {};
    return sized(ImageFormat::Webp, le16(f + 6) & 0x3fff, le16(f + 8) & 0x3fff);
  }
  if (std::memcmp(c, "VP8L", 4) == 0) {
    const uint8_t* f = c + 8;
    if (f[0] != 0x2f) return {};
    uint32_t bits = le32(f + 1);
    return sized(ImageFormat::Webp, (bits & 0x3fff) + 1, ((bits >> 14) & 0x3fff) + 1);
  }
  if (std::memcmp(c, "VP8X", 4) == 0) {
    const uint8_t* f = c + 8;
    return sized(ImageFormat::Webp, le24(f + 4) + 1, le24(f + 7) + 1);
  }
  return {};
}

}  // namespace

Sniffed sniff(std::span<const uint8_t> bytes) {
  for (auto reader : {png, jpeg, gif, bmp, webp}) {
    Sniffed s = reader(bytes);
    if (s.format != ImageFormat::Unknown) return s;
  }
  return {};
}

}  // namespace kivo_blobs::blobstore
