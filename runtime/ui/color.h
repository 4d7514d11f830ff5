// Color: straight (not premultiplied) RGBA in 0..1.
#pragma once

#include <cstdint>

namespace kivo_ui {

struct Color {
  float r = 0, g = 0, b = 0, a = 1;

  static constexpr Color rgb(uint32_t hex, float alpha = 1.f) {
    return {((hex >> 16) & 0xff) / 255.f, ((hex >> 8) & 0xff) / 255.f, (hex & 0xff) / 255.f, alpha};
  }
  constexpr Color with_alpha(float alpha) const { return {r, g, b, alpha}; }
  bool operator==(const Color&) const = default;
};

}  // namespace kivo_ui
