// Plain geometry values of the toolkit: points, sizes and rectangles in logical pixels.
#pragma once

#include <algorithm>

namespace kivo_ui {

struct Point {
  float x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  float w = 0, h = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  float x = 0, y = 0, w = 0, h = 0;

  static Rect from_edges(float left, float top, float right, float bottom) {
    return {left, top, std::max(0.f, right - left), std::max(0.f, bottom - top)};
  }
  float right() const { return x + w; }
  float bottom() const { return y + h; }
  Point center() const { return {x + w / 2, y + h / 2}; }
  bool empty() const { return w <= 0 || h <= 0; }
  bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < x + w && p.y < y + h; }
  Rect inset(float d) const { return {x + d, y + d, std::max(0.f, w - 2 * d), std::max(0.f, h - 2 * d)}; }
  Rect inset(float dx, float dy) const { return {x + dx, y + dy, std::max(0.f, w - 2 * dx), std::max(0.f, h - 2 * dy)}; }
  Rect translated(float dx, float dy) const { return {x + dx, y + dy, w, h}; }
  Rect intersect(const Rect& o) const {
    return from_edges(std::max(x, o.x), std::max(y, o.y), std::min(right(), o.right()), std::min(bottom(), o.bottom()));
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace kivo_ui
