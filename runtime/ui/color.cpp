#include "runtime/ui/color.h"

#include <algorithm>
#include <cmath>

namespace kivo_ui {

Color Colors::mix(Color a, Color b, float t) {
  t = std::clamp(t, 0.f, 1.f);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color Colors::lift(Color c, float amount) { return lift(c, amount, white()); }

Color Colors::lift(Color c, float amount, Color base) {
  Color out = mix(c, base, amount);
  out.a = c.a;
  return out;
}

static float channel_linear(float v) {
  return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

float Colors::luminance(Color c) {
  return 0.2126f * channel_linear(c.r) + 0.7152f * channel_linear(c.g) + 0.0722f * channel_linear(c.b);
}

float Colors::contrast(Color a, Color b) {
  float la = luminance(a), lb = luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05f) / (lb + 0.05f);
}

Color Colors::with_contrast(Color c, Color bg, float ratio) {
  if (contrast(c, bg) >= ratio) return c;
  // Move towards black on light backgrounds and towards white on dark ones, in small steps.
  Color target = luminance(bg) > 0.18f ? black() : white();
  for (int i = 1; i <= 20; ++i) {
    Color candidate = mix(c, target, i / 20.f);
    candidate.a = c.a;
    if (contrast(candidate, bg) >= ratio) return candidate;
  }
  return target.with_alpha(c.a);
}

}  // namespace kivo_ui
