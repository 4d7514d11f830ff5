// Plain geometry values of the toolkit: points, sizes and rectangles in logical pixels.
#pragma once

#include <algorithm>

namespace kivo_ui {

struct Point {
  float x = 0, y = 0;
};

struct Size {
  float w = 0, h = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  float x = 0, y = 0, w = 0, h = 0;

  float right() const { return x + w; }
  float bottom() const { return y + h; }
  bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < x + w && p.y < y + h; }
  Rect inset(float d) const { return {x + d, y + d, std::max(0.f, w - 2 * d), std::max(0.f, h - 2 * d)}; }
  bool operator==(const Rect&) const = default;
};

}  // namespace kivo_ui
