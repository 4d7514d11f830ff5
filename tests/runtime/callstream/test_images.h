// Synthetic RGBA pictures for the call video tests, and the PSNR between two of them.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "runtime/callstream/video_frame.h"

namespace kivo::callstream::testing {

// Smooth moving waves with a bright square sliding over them; frame t differs from t-1.
inline std::vector<std::uint8_t> moving_pattern(int width, int height, int t) {
  std::vector<std::uint8_t> rgba(rgba_byte_count(width, height));
  const int sq = width / 8;
  const int sx = (t * 5) % (width - sq);
  const int sy = (t * 3) % (height - sq);
  std::vector<std::uint8_t> red(width), green(height);
  for (int x = 0; x < width; ++x) red[x] = static_cast<std::uint8_t>(128 + 90 * std::sin((x + 3.0 * t) / 40.0));
  for (int y = 0; y < height; ++y) green[y] = static_cast<std::uint8_t>(128 + 90 * std::cos((y + 2.0 * t) / 30.0));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
      const bool in_square = x >= sx && x < sx + sq && y >= sy && y < sy + sq;
      p[0] = in_square ? 230 : red[x];
      p[1] = in_square ? 40 : green[y];
      p[2] = in_square ? 60 : static_cast<std::uint8_t>((x + y + t) / 8 % 256);
      p[3] = 255;
    }
  }
  return rgba;
}

// Uniform random bytes: the hardest picture there is to compress.
inline std::vector<std::uint8_t> noise_image(int width, int height, unsigned seed) {
  std::vector<std::uint8_t> rgba(rgba_byte_count(width, height));
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    const std::uint32_t v = rng();
    rgba[i] = static_cast<std::uint8_t>(v);
    rgba[i + 1] = static_cast<std::uint8_t>(v >> 8);
    rgba[i + 2] = static_cast<std::uint8_t>(v >> 16);
    rgba[i + 3] = 255;
  }
  return rgba;
}

// Peak signal-to-noise ratio over the colour channels, in dB (alpha is ignored).
inline double psnr_rgb(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < a.size(); i += 4) {
    for (std::size_t c = 0; c < 3; ++c) {
      const double d = static_cast<double>(a[i + c]) - static_cast<double>(b[i + c]);
      sum += d * d;
      ++count;
    }
  }
  const double mse = sum / static_cast<double>(count);
  if (mse == 0.0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace kivo::callstream::testing
