// Canvas: what a widget draws on; a thin layer over a Cairo context in logical pixels.
#pragma once

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

private:
  cairo_t* m_cr;
  Size m_size;
  Theme m_theme;
};

}  // namespace kivo_ui
