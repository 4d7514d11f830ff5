// Canvas: what a widget draws on; a thin layer over a Cairo context in logical pixels.
#pragma once

#include <string_view>
#include <vector>

#include "runtime/ui/color.h"
#include "runtime/ui/geometry.h"
#include "runtime/ui/theme.h"

typedef struct _cairo cairo_t;

namespace kivo_ui {

class Canvas {
public:
  Canvas(cairo_t* cr, Size size, const Theme& theme) : m_cr(cr), m_size(size), m_theme(theme) {}

  cairo_t* cairo() const { return m_cr; }  // for drawing the canvas has no primitive for
  Size size() const { return m_size; }
  const Theme& theme() const { return m_theme; }

  void clear(Color color);
  void fill_rect(Rect rect, Color color);
  void fill_rounded_rect(Rect rect, float radius, Color color);
  void stroke_rounded_rect(Rect rect, float radius, float width, Color color);  // stroke inside the rect
  void fill_circle(Point center, float radius, Color color);
  void stroke_circle(Point center, float radius, float width, Color color);
  void line(Point from, Point to, float width, Color color);
  // A soft shadow of a rounded rectangle: blur is how far it fades out, offset moves it (usually down).
  void soft_shadow(Rect rect, float radius, float blur, Color color, Point offset = {0, 0});

  // Clipping and transforms nest; every push has its pop.
  void push_clip(Rect rect, float radius = 0);
  void pop_clip();
  void push_transform(float dx, float dy, float scale = 1.f, float opacity = 1.f);
  void pop_transform();

  // Text through the shared text renderer (sizes in pixels, weight 1 normal, 2 semibold, 3 bold).
  // The point is the top-left corner of the text's first line box.
  void text(std::string_view text, Point at, float size, Color color, int weight = 1);
  void text_truncated(std::string_view text, Point at, float size, Color color, float max_width, int weight = 1);
  void text_wrapped(std::string_view text, Point at, float size, Color color, float width, int weight = 1);
  void text_centered(std::string_view text, Rect box, float size, Color color, int weight = 1);

  // Adds a rounded-rectangle path (no drawing); radius is clamped to half the shorter side.
  static void rounded_path(cairo_t* cr, Rect rect, float radius);

private:
  cairo_t* m_cr;
  Size m_size;
  Theme m_theme;
  std::vector<float> m_transform_opacity;  // one entry per open push_transform
};

}  // namespace kivo_ui
