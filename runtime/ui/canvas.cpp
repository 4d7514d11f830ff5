#include "runtime/ui/canvas.h"

#include <cairo.h>

namespace kivo_ui {

static void set_color(cairo_t* cr, Color c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void Canvas::clear(Color color) {
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
  set_color(m_cr, color);
  cairo_paint(m_cr);
  cairo_restore(m_cr);
}

void Canvas::fill_rect(Rect rect, Color color) {
  set_color(m_cr, color);
  cairo_rectangle(m_cr, rect.x, rect.y, rect.w, rect.h);
  cairo_fill(m_cr);
}

}  // namespace kivo_ui
