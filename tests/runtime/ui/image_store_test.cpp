#include <gtest/gtest.h>

#include <cairo.h>
#include <cstdio>
#include <jpeglib.h>
#include <webp/encode.h>

#include <atomic>
#include <cstring>
#include <map>

#include "runtime/ui/image_store.h"

using namespace kivo_ui;

namespace {

// A 4 × 2 test picture: left half red, right half blue, straight RGBA.
std::vector<uint8_t> rgba_pixels() {
  std::vector<uint8_t> px;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      bool left = x < 2;
      px.insert(px.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255), 255});
    }
  return px;
}

cairo_status_t append(void* out, const unsigned char* d, unsigned int n) {
  static_cast<std::vector<uint8_t>*>(out)->insert(static_cast<std::vector<uint8_t>*>(out)->end(), d, d + n);
  return CAIRO_STATUS_SUCCESS;
}

std::vector<uint8_t> png_bytes() {
  auto img = image_codec::from_rgba(rgba_pixels().data(), 4, 2, 16);
  std::vector<uint8_t> out;
  cairo_surface_write_to_png_stream(img.value()->surface, append, &out);
  return out;
}

std::vector<uint8_t> jpeg_bytes() {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = 16;
  c.image_height = 8;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(16 * 3);
  for (int x = 0; x < 16; ++x) row[size_t(x) * 3] = x < 8 ? 255 : 0, row[size_t(x) * 3 + 2] = x < 8 ? 0 : 255;
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> out(buf, buf + size);
  free(buf);
  return out;
}

std::vector<uint8_t> webp_bytes() {
  auto px = rgba_pixels();
  uint8_t* out = nullptr;
  size_t n = WebPEncodeLosslessRGBA(px.data(), 4, 2, 16, &out);
  std::vector<uint8_t> bytes(out, out + n);
  WebPFree(out);
  return bytes;
}

std::vector<uint8_t> gif_bytes() {  // 1 × 1, one red pixel
  return {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0xff, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
          0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};
}

std::vector<uint8_t> bmp_bytes() {  // 4 × 2, 24 bits, bottom-up
  std::vector<uint8_t> b(54, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(10, 54);
  put32(14, 40);
  put32(18, 4);
  put32(22, 2);
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      bool left = x < 2;
      b.insert(b.end(), {uint8_t(left ? 0 : 255), 0, uint8_t(left ? 255 : 0)});  // B, G, R
    }
  put32(2, uint32_t(b.size()));
  return b;
}

// Premultiplied ARGB of pixel (x, y).
uint32_t pixel(const Image& img, int x, int y) {
  cairo_surface_flush(img.surface);
  auto* row = cairo_image_surface_get_data(img.surface) + size_t(y) * size_t(cairo_image_surface_get_stride(img.surface));
  return reinterpret_cast<uint32_t*>(row)[x] | (cairo_image_surface_get_format(img.surface) == CAIRO_FORMAT_RGB24 ? 0xff000000u : 0);
}

bool near_color(uint32_t argb, uint32_t want) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(int((argb >> shift) & 0xff) - int((want >> shift) & 0xff)) > 40) return false;
  return true;
}

}  // namespace

TEST(ImageDecode, EachFormatDecodesToItsPixels) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    ImageFormat format;
    int w, h;
  } cases[] = {
      {"png", png_bytes(), ImageFormat::Png, 4, 2},   {"jpeg", jpeg_bytes(), ImageFormat::Jpeg, 16, 8},
      {"webp", webp_bytes(), ImageFormat::WebP, 4, 2}, {"gif", gif_bytes(), ImageFormat::Gif, 1, 1},
      {"bmp", bmp_bytes(), ImageFormat::Bmp, 4, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(image_codec::sniff(c.bytes), c.format) << c.name;
    auto img = image_codec::decode(c.bytes);
    ASSERT_TRUE(img.ok()) << c.name << ": " << img.error().message;
    EXPECT_EQ(img.value()->width, c.w) << c.name;
    EXPECT_EQ(img.value()->height, c.h) << c.name;
    EXPECT_TRUE(near_color(pixel(*img.value(), 0, 0), 0xffff0000)) << c.name << std::hex << pixel(*img.value(), 0, 0);
    if (c.w > 1) {
      EXPECT_TRUE(near_color(pixel(*img.value(), c.w - 1, c.h - 1), 0xff0000ff)) << c.name;
    }
  }
}

TEST(ImageDecode, BadInputIsAnErrorValue) {
  auto cut = [](std::vector<uint8_t> v, size_t n) {
    v.resize(std::min(n, v.size()));
    return v;
  };
  std::vector<uint8_t> huge_bmp = bmp_bytes();
  huge_bmp[18] = 0xff, huge_bmp[19] = 0xff, huge_bmp[20] = 0x00;  // 65535 wide, no pixels for it
  std::vector<uint8_t> garbage_jpeg = {0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 2, 3};
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"unknown", {'h', 'e', 'l', 'l', 'o'}},
      {"png header only", cut(png_bytes(), 20)},
      {"png cut", cut(png_bytes(), png_bytes().size() - 20)},
      {"jpeg garbage", garbage_jpeg},
      {"webp cut", cut(webp_bytes(), 14)},
      {"gif cut", cut(gif_bytes(), 12)},
      {"bmp header cut", cut(bmp_bytes(), 30)},
      {"bmp pixels missing", huge_bmp},
  };
  for (const auto& c : cases) {
    auto img = image_codec::decode(c.bytes);
    EXPECT_FALSE(img.ok()) << c.name;
    if (!img.ok()) {
      EXPECT_FALSE(img.error().message.empty()) << c.name;
    }
  }
}

TEST(ImageStore, LoadsOnAWorkerAndAnswersOnceReady) {
  std::map<std::string, std::vector<uint8_t>> sources = {{"mem://a", png_bytes()}, {"mem://bad", {1, 2, 3}}};
  std::atomic<int> loaded{0};
  ImageStoreConfig config;
  config.loader = [&](const std::string& key) -> kivo::Result<std::vector<uint8_t>> {
    auto it = sources.find(key);
    if (it == sources.end()) return kivo::make_error("no such image");
    return it->second;
  };
  ImageStore store(config);
  store.set_on_loaded([&] { ++loaded; });
  EXPECT_TRUE(store.is_idle());
  EXPECT_EQ(store.get("mem://a"), nullptr);  // starts the load, answers at once
  store.get("mem://bad");
  store.get("mem://missing");
  ASSERT_TRUE(store.block_until_idle(std::chrono::seconds(10)));
  ImageRef a = store.get("mem://a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->width, 4);
  EXPECT_EQ(store.state("mem://bad"), ImageState::Failed);
  EXPECT_EQ(store.error("mem://missing"), "no such image");
  EXPECT_EQ(loaded.load(), 3);
  store.get("mem://bad");  // a failure is not retried on every frame
  EXPECT_TRUE(store.is_idle());
}

TEST(ImageStore, DecodedMemoryStaysWithinItsBound) {
  ImageStoreConfig config;
  std::vector<uint8_t> bytes = jpeg_bytes();  // 16 × 8 × 4 = 512 bytes decoded
  config.loader = [&](const std::string&) -> kivo::Result<std::vector<uint8_t>> { return bytes; };
  config.max_decoded_bytes = 1200;  // room for two
  ImageStore store(config);
  for (int i = 0; i < 5; ++i) {
    store.get("img" + std::to_string(i));
    ASSERT_TRUE(store.block_until_idle(std::chrono::seconds(10)));
  }
  EXPECT_LE(store.decoded_bytes(), 1200u);
  EXPECT_NE(store.get("img4"), nullptr);  // the newest stays
  EXPECT_EQ(store.state("img0"), ImageState::Unknown);  // the oldest was dropped and can load again
}
