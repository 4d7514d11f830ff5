// A decoded picture as the rest of the program sees it: RGBA bytes with their size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivo::callstream {

struct VideoFrame {
  int width = 0;                    // pixels
  int height = 0;                   // pixels
  std::vector<std::uint8_t> rgba;   // width * height * 4 bytes, rows top to bottom, no padding
};

// Bytes of one tightly packed RGBA picture of the given size.
inline std::size_t rgba_byte_count(int width, int height) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
}

}  // namespace kivo::callstream
