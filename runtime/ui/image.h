// Image: a decoded picture as a Cairo image surface (premultiplied ARGB32), shared read-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "runtime/base/result.h"

typedef struct _cairo_surface cairo_surface_t;

namespace kivo_ui {

struct Image {
  int width = 0, height = 0;
  cairo_surface_t* surface = nullptr;  // owned
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();
  size_t byte_size() const { return size_t(width) * size_t(height) * 4; }
};

using ImageRef = std::shared_ptr<const Image>;

enum class ImageFormat { Unknown, Png, Jpeg, Gif, Bmp, WebP };

namespace image_codec {

inline constexpr int kMaxDimension = 16384;
inline constexpr uint64_t kMaxPixels = 40'000'000;  // refuses decompression bombs before allocating

ImageFormat sniff(std::span<const uint8_t> bytes);  // by the file's magic bytes
// Decodes PNG, JPEG, GIF (first frame), BMP or WebP; damaged or unknown input is an error value.
kivo::Result<ImageRef> decode(std::span<const uint8_t> bytes);
// An image of w × h from straight (not premultiplied) RGBA rows; used by decoders and tests.
kivo::Result<std::shared_ptr<Image>> from_rgba(const uint8_t* rgba, int w, int h, size_t stride);

}  // namespace image_codec
}  // namespace kivo_ui
