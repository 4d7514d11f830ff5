#include <cairo.h>
#include <cstdio>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/ui/image.h"

namespace kivo_ui {

Image::~Image() {
  if (surface) cairo_surface_destroy(surface);
}

namespace image_codec {

namespace {

kivo::Status check_size(long w, long h) {
  if (w <= 0 || h <= 0) return kivo::make_error("image has no pixels");
  if (w > kMaxDimension || h > kMaxDimension || uint64_t(w) * uint64_t(h) > kMaxPixels)
    return kivo::make_error("image is too large (" + std::to_string(w) + "×" + std::to_string(h) + ")");
  return {};
}

kivo::Result<std::shared_ptr<Image>> blank(int w, int h, cairo_format_t format = CAIRO_FORMAT_ARGB32) {
  KIVO_TRY(check_size(w, h));
  auto img = std::make_shared<Image>();
  img->surface = cairo_image_surface_create(format, w, h);
  if (cairo_surface_status(img->surface) != CAIRO_STATUS_SUCCESS) return kivo::make_error("out of memory for image");
  img->width = w;
  img->height = h;
  return img;
}

// Writes straight-alpha RGBA into a premultiplied native-endian ARGB32 row.
void store_rgba_row(uint32_t* dst, const uint8_t* src, int w) {
  for (int x = 0; x < w; ++x) {
    uint32_t r = src[4 * x], g = src[4 * x + 1], b = src[4 * x + 2], a = src[4 * x + 3];
    if (a != 255) {
      r = (r * a + 127) / 255;
      g = (g * a + 127) / 255;
      b = (b * a + 127) / 255;
    }
    dst[x] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

kivo::Result<ImageRef> decode_png(std::span<const uint8_t> bytes) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
    return kivo::make_error(std::string("bad PNG: ") + png.message);
  if (auto s = check_size(long(png.width), long(png.height)); !s.ok()) {
    png_image_free(&png);
    return s.take_error();
  }
  png.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr)) {
    std::string msg = png.message;
    png_image_free(&png);
    return kivo::make_error("bad PNG: " + msg);
  }
  KIVO_TRY_ASSIGN(img, from_rgba(rgba.data(), int(png.width), int(png.height), size_t(png.width) * 4));
  return ImageRef(img);
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr info) {
  auto* err = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, err->message);
  std::longjmp(err->jump, 1);
}

void jpeg_quiet(j_common_ptr, int) {}

// Runs libjpeg over the bytes with only trivially destructible locals, because its errors
// return here through longjmp. Fills *out with an RGB24 surface, or the error text.
bool run_jpeg(std::span<const uint8_t> bytes, cairo_surface_t** out, char* error, size_t error_size) {
  jpeg_decompress_struct info;
  JpegError err;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpeg_fail;
  err.mgr.emit_message = jpeg_quiet;
  *out = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    if (*out) cairo_surface_destroy(*out);
    *out = nullptr;
    std::snprintf(error, error_size, "bad JPEG: %s", err.message);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  long w = long(info.image_width), h = long(info.image_height);
  if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension || uint64_t(w) * uint64_t(h) > kMaxPixels) {
    jpeg_destroy_decompress(&info);
    std::snprintf(error, error_size, "image is too large (%ld×%ld)", w, h);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRX;  // libjpeg-turbo writes Cairo's native RGB24 layout directly
  jpeg_start_decompress(&info);
  *out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(info.output_width), int(info.output_height));
  if (cairo_surface_status(*out) != CAIRO_STATUS_SUCCESS) {
    jpeg_destroy_decompress(&info);
    cairo_surface_destroy(*out);
    *out = nullptr;
    std::snprintf(error, error_size, "out of memory for image");
    return false;
  }
  cairo_surface_flush(*out);
  unsigned char* data = cairo_image_surface_get_data(*out);
  int stride = cairo_image_surface_get_stride(*out);
  while (info.output_scanline < info.output_height) {
    JSAMPROW line = data + size_t(info.output_scanline) * size_t(stride);
    jpeg_read_scanlines(&info, &line, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  cairo_surface_mark_dirty(*out);
  return true;
}

kivo::Result<ImageRef> decode_jpeg(std::span<const uint8_t> bytes) {
  cairo_surface_t* surface = nullptr;
  char error[JMSG_LENGTH_MAX + 32] = {};
  if (!run_jpeg(bytes, &surface, error, sizeof error)) return kivo::make_error(error);
  auto img = std::make_shared<Image>();
  img->surface = surface;
  img->width = cairo_image_surface_get_width(surface);
  img->height = cairo_image_surface_get_height(surface);
  return ImageRef(img);
}

kivo::Result<ImageRef> decode_webp(std::span<const uint8_t> bytes) {
  int w = 0, h = 0;
  if (!WebPGetInfo(bytes.data(), bytes.size(), &w, &h)) return kivo::make_error("bad WebP: not a WebP image");
  KIVO_TRY(check_size(w, h));
  std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
  if (!WebPDecodeRGBAInto(bytes.data(), bytes.size(), rgba.data(), rgba.size(), w * 4))
    return kivo::make_error("bad WebP: cannot decode the image data");
  KIVO_TRY_ASSIGN(img, from_rgba(rgba.data(), w, h, size_t(w) * 4));
  return ImageRef(img);
}

struct GifSource {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

int gif_read(GifFileType* gif, GifByteType* out, int n) {
  auto* src = static_cast<GifSource*>(gif->UserData);
  size_t take = std::min(size_t(std::max(n, 0)), src->bytes.size() - src->pos);
  std::memcpy(out, src->bytes.data() + src->pos, take);
  src->pos += take;
  return int(take);
}

kivo::Result<ImageRef> decode_gif(std::span<const uint8_t> bytes) {
  GifSource src{bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&src, gif_read, &error);
  if (!gif) return kivo::make_error(std::string("bad GIF: ") + GifErrorString(error));
  struct Closer {
    GifFileType* g;
    ~Closer() {
      int e = 0;
      DGifCloseFile(g, &e);
    }
  } closer{gif};
  if (auto s = check_size(gif->SWidth, gif->SHeight); !s.ok()) return s.take_error();
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    // A file cut short after its first frame still shows that frame.
    if (gif->ImageCount < 1 || !gif->SavedImages[0].RasterBits)
      return kivo::make_error(std::string("bad GIF: ") + GifErrorString(gif->Error));
  }
  const SavedImage& frame = gif->SavedImages[0];
  const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
  if (!map) return kivo::make_error("bad GIF: no colour table");
  GraphicsControlBlock gcb{};
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  DGifSavedExtensionToGCB(gif, 0, &gcb);
  int W = gif->SWidth, H = gif->SHeight;
  std::vector<uint8_t> rgba(size_t(W) * size_t(H) * 4, 0);
  const GifImageDesc& d = frame.ImageDesc;
  for (int y = 0; y < d.Height; ++y) {
    int dy = d.Top + y;
    if (dy < 0 || dy >= H) continue;
    for (int x = 0; x < d.Width; ++x) {
      int dx = d.Left + x;
      if (dx < 0 || dx >= W) continue;
      int index = frame.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
      if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
      const GifColorType& c = map->Colors[index];
      uint8_t* p = &rgba[(size_t(dy) * size_t(W) + size_t(dx)) * 4];
      p[0] = c.Red;
      p[1] = c.Green;
      p[2] = c.Blue;
      p[3] = 255;
    }
  }
  KIVO_TRY_ASSIGN(img, from_rgba(rgba.data(), W, H, size_t(W) * 4));
  return ImageRef(img);
}

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Uncompressed BMP: 1, 4, 8 (palette), 24 and 32 bits per pixel, bottom-up or top-down.
kivo::Result<ImageRef> decode_bmp(std::span<const uint8_t> b) {
  if (b.size() < 54) return kivo::make_error("bad BMP: truncated header");
  uint32_t data_offset = le32(&b[10]);
  uint32_t header_size = le32(&b[14]);
  if (header_size < 40 || 14 + uint64_t(header_size) > b.size()) return kivo::make_error("bad BMP: unsupported header");
  int32_t w = int32_t(le32(&b[18]));
  int32_t h_signed = int32_t(le32(&b[22]));
  uint16_t bpp = le16(&b[28]);
  uint32_t compression = le32(&b[30]);
  uint32_t colors_used = le32(&b[46]);
  bool top_down = h_signed < 0;
  if (h_signed == INT32_MIN) return kivo::make_error("bad BMP: bad height");
  int32_t h = top_down ? -h_signed : h_signed;
  KIVO_TRY(check_size(w, h));
  if (compression != 0 && !(compression == 3 && bpp == 32))
    return kivo::make_error("bad BMP: compressed bitmaps are not supported");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
    return kivo::make_error("bad BMP: " + std::to_string(bpp) + " bits per pixel is not supported");
  uint64_t row_bytes = ((uint64_t(w) * bpp + 31) / 32) * 4;
  if (data_offset > b.size() || row_bytes * uint64_t(h) > b.size() - data_offset)
    return kivo::make_error("bad BMP: pixel data is truncated");
  std::vector<uint8_t> palette;
  if (bpp <= 8) {
    uint64_t count = colors_used ? colors_used : (1u << bpp);
    uint64_t start = 14 + uint64_t(header_size);
    if (count > 256 || start + count * 4 > data_offset) return kivo::make_error("bad BMP: bad colour table");
    palette.assign(b.begin() + long(start), b.begin() + long(start + count * 4));
  }
  bool has_alpha = bpp == 32;
  std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = &b[data_offset + size_t(top_down ? y : h - 1 - y) * row_bytes];
    uint8_t* out = &rgba[size_t(y) * size_t(w) * 4];
    for (int32_t x = 0; x < w; ++x) {
      uint8_t r, g, bl, a = 255;
      if (bpp >= 24) {
        const uint8_t* p = row + size_t(x) * (bpp / 8);
        bl = p[0];
        g = p[1];
        r = p[2];
        if (bpp == 32) a = p[3];
      } else {
        int per_byte = 8 / bpp;
        uint8_t byte = row[x / per_byte];
        int shift = 8 - bpp * (x % per_byte + 1);
        size_t index = (byte >> shift) & ((1 << bpp) - 1);
        if (index * 4 + 3 >= palette.size()) return kivo::make_error("bad BMP: colour index out of range");
        bl = palette[index * 4];
        g = palette[index * 4 + 1];
        r = palette[index * 4 + 2];
      }
      out[4 * x] = r;
      out[4 * x + 1] = g;
      out[4 * x + 2] = bl;
      out[4 * x + 3] = a;
    }
  }
  // Many writers leave the alpha byte of 32-bit bitmaps at zero: such an image is opaque.
  if (has_alpha) {
    bool any = false;
    for (size_t i = 3; i < rgba.size() && !any; i += 4) any = rgba[i] != 0;
    if (!any)
      for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  }
  KIVO_TRY_ASSIGN(img, from_rgba(rgba.data(), w, h, size_t(w) * 4));
  return ImageRef(img);
}

}  // namespace

ImageFormat sniff(std::span<const uint8_t> b) {
  auto starts = [&](std::initializer_list<uint8_t> magic, size_t at = 0) {
    if (b.size() < at + magic.size()) return false;
    size_t i = at;
    for (uint8_t m : magic)
      if (b[i++] != m) return false;
    return true;
  };
  if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'})) return ImageFormat::Png;
  if (starts({0xff, 0xd8, 0xff})) return ImageFormat::Jpeg;
  if (starts({'G', 'I', 'F', '8'})) return ImageFormat::Gif;
  if (starts({'B', 'M'})) return ImageFormat::Bmp;
  if (starts({'R', 'I', 'F', 'F'}) && starts({'W', 'E', 'B', 'P'}, 8)) return ImageFormat::WebP;
  return ImageFormat::Unknown;
}

kivo::Result<std::shared_ptr<Image>> from_rgba(const uint8_t* rgba, int w, int h, size_t stride) {
  KIVO_TRY_ASSIGN(img, blank(w, h));
  cairo_surface_flush(img->surface);
  unsigned char* data = cairo_image_surface_get_data(img->surface);
  int dst_stride = cairo_image_surface_get_stride(img->surface);
  for (int y = 0; y < h; ++y)
    store_rgba_row(reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(dst_stride)), rgba + size_t(y) * stride, w);
  cairo_surface_mark_dirty(img->surface);
  return img;
}

kivo::Result<ImageRef> decode(std::span<const uint8_t> bytes) {
  switch (sniff(bytes)) {
    case ImageFormat::Png: return decode_png(bytes);
    case ImageFormat::Jpeg: return decode_jpeg(bytes);
    case ImageFormat::Gif: return decode_gif(bytes);
    case ImageFormat::Bmp: return decode_bmp(bytes);
    case ImageFormat::WebP: return decode_webp(bytes);
    case ImageFormat::Unknown: break;
  }
  return kivo::make_error(bytes.empty() ? "empty image data" : "unknown image format");
}

}  // namespace image_codec
}  // namespace kivo_ui
