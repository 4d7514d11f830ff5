#include <gtest/gtest.h>

#include <vector>

#include "runtime/blobs/sniff.h"

namespace kivo_blobs {
namespace {

using B = std::vector<uint8_t>;

B png(uint32_t w, uint32_t h) {
  B b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
  b.insert(b.end(), {8, 6, 0, 0, 0});
  return b;
}

B jpeg(uint16_t w, uint16_t h) {
  // SOI, an APP0 segment to skip, then a baseline frame header.
  B b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'J', 'F', 'I', 'F', 0xFF, 0xC0, 0x00, 0x11, 0x08};
  b.insert(b.end(), {uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w), 3});
  return b;
}

B gif(uint16_t w, uint16_t h) {
  B b = {'G', 'I', 'F', '8', '9', 'a', uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), 0, 0, 0};
  return b;
}

B bmp(int32_t w, int32_t h) {
  B b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  b[14] = 40;
  for (int i = 0; i < 4; ++i) {
    b[18 + i] = uint8_t(uint32_t(w) >> (8 * i));
    b[22 + i] = uint8_t(uint32_t(h) >> (8 * i));
  }
  return b;
}

B riff(const char* fourcc, B payload) {
  B b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(fourcc[i]));
  b.insert(b.end(), {uint8_t(payload.size()), 0, 0, 0});
  b.insert(b.end(), payload.begin(), payload.end());
  while (b.size() < 40) b.push_back(0);
  return b;
}

B webp_lossy(uint16_t w, uint16_t h) {
  return riff("VP8 ", {0, 0, 0, 0x9d, 0x01, 0x2a, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8)});
}

B webp_lossless(uint32_t w, uint32_t h) {
  uint32_t bits = (w - 1) | ((h - 1) << 14);
  return riff("VP8L", {0x2f, uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)});
}

B webp_extended(uint32_t w, uint32_t h) {
  w -= 1;
  h -= 1;
  return riff("VP8X", {0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(h), uint8_t(h >> 8),
                       uint8_t(h >> 16)});
}

TEST(Sniff, ReadsEveryFormatsSize) {
  struct Case {
    const char* what;
    B bytes;
    ImageFormat format;
    uint32_t w, h;
  } cases[] = {
      {"png", png(640, 360), ImageFormat::Png, 640, 360},
      {"jpeg", jpeg(1024, 768), ImageFormat::Jpeg, 1024, 768},
      {"gif", gif(320, 200), ImageFormat::Gif, 320, 200},
      {"bmp", bmp(17, 9), ImageFormat::Bmp, 17, 9},
      {"bmp top-down", bmp(17, -9), ImageFormat::Bmp, 17, 9},
      {"webp lossy", webp_lossy(620, 400), ImageFormat::Webp, 620, 400},
      {"webp lossless", webp_lossless(300, 16384), ImageFormat::Webp, 300, 16384},
      {"webp extended", webp_extended(4000, 3000), ImageFormat::Webp, 4000, 3000},
  };
  for (const auto& c : cases) {
    Sniffed s = blobstore::sniff(c.bytes);
    EXPECT_EQ(s.format, c.format) << c.what;
    EXPECT_EQ(s.width, c.w) << c.what;
    EXPECT_EQ(s.height, c.h) << c.what;
  }
}

TEST(Sniff, DamagedOrForeignContentIsZero) {
  B text = {'h', 'e', 'l', 'l', 'o'};
  B truncated_png = png(10, 10);
  truncated_png.resize(20);
  B truncated_jpeg = jpeg(10, 10);
  truncated_jpeg.resize(14);
  B zero_png = png(0, 10);
  B bad_jpeg_length = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00, 0, 0};
  for (const B& b : {B{}, text, truncated_png, truncated_jpeg, zero_png, bad_jpeg_length, bmp(0, 5)}) {
    Sniffed s = blobstore::sniff(b);
    EXPECT_EQ(s.width, 0u);
    EXPECT_EQ(s.height, 0u);
    EXPECT_EQ(s.format, ImageFormat::Unknown);
  }
}

TEST(Sniff, SurvivesRandomBytes) {
  uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    B b(seed % 64);
    for (auto& x : b) x = uint8_t(seed = seed * 1664525u + 1013904223u);
    if (round % 3 == 0 && b.size() > 2) b[0] = 0xFF, b[1] = 0xD8;  // jpeg-looking start
    (void)blobstore::sniff(b);
  }
}

}  // namespace
}  // namespace kivo_blobs
