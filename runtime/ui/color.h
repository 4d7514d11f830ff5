// Color: straight (not premultiplied) RGBA in 0..1, and the colour arithmetic the views use.
#pragma once

#include <cstdint>

namespace kivo_ui {

struct Color {
  float r = 0, g = 0, b = 0, a = 1;

  static constexpr Color rgb(uint32_t hex, float alpha = 1.f) {
    return {((hex >> 16) & 0xff) / 255.f, ((hex >> 8) & 0xff) / 255.f, (hex & 0xff) / 255.f, alpha};
  }
  constexpr Color with_alpha(float alpha) const { return {r, g, b, alpha}; }
  constexpr Color scale_alpha(float factor) const { return {r, g, b, a * factor}; }
  bool operator==(const Color&) const = default;
};

struct Colors {
  static constexpr Color white() { return {1, 1, 1, 1}; }
  static constexpr Color black() { return {0, 0, 0, 1}; }
  static constexpr Color transparent() { return {0, 0, 0, 0}; }

  static Color mix(Color a, Color b, float t);          // a at t = 0, b at t = 1 (alpha mixed too)
  static Color lift(Color c, float amount);             // towards white by amount (0..1); light tints
  static Color lift(Color c, float amount, Color base); // towards a base colour (a theme background)
  static float luminance(Color c);                      // relative luminance (sRGB, WCAG)
  static float contrast(Color a, Color b);              // WCAG contrast ratio, 1..21
  // The colour nearest to c (darker or lighter) whose contrast against bg is at least ratio.
  static Color with_contrast(Color c, Color bg, float ratio);
};

}  // namespace kivo_ui
