// Reads the kind and pixel size of image content from its header, without decoding it.
#pragma once

#include <cstdint>
#include <span>

namespace kivo_blobs {

enum class ImageFormat { Unknown, Png, Jpeg, Gif, Bmp, Webp };

struct Sniffed {
  ImageFormat format = ImageFormat::Unknown;
  uint32_t width = 0;   // 0 when not an image or the header is damaged
  uint32_t height = 0;
};

namespace blobstore {
Sniffed sniff(std::span<const uint8_t> bytes);
}

}  // namespace kivo_blobs
