#include "runtime/ui/canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "runtime/ui/text_renderer.h"

namespace kivo_ui {

static void set_color(cairo_t* cr, Color c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void Canvas::rounded_path(cairo_t* cr, Rect r, float radius) {
  radius = std::clamp(radius, 0.f, std::min(r.w, r.h) / 2);
  if (radius <= 0.01f) {
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    return;
  }
  double x0 = r.x, y0 = r.y, x1 = r.right(), y1 = r.bottom(), rad = radius;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x1 - rad, y0 + rad, rad, -M_PI / 2, 0);
  cairo_arc(cr, x1 - rad, y1 - rad, rad, 0, M_PI / 2);
  cairo_arc(cr, x0 + rad, y1 - rad, rad, M_PI / 2, M_PI);
  cairo_arc(cr, x0 + rad, y0 + rad, rad, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

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

void Canvas::fill_rounded_rect(Rect rect, float radius, Color color) {
  if (rect.empty() || color.a <= 0) return;
  set_color(m_cr, color);
  rounded_path(m_cr, rect, radius);
  cairo_fill(m_cr);
}

void Canvas::stroke_rounded_rect(Rect rect, float radius, float width, Color color) {
  if (rect.empty() || color.a <= 0 || width <= 0) return;
  set_color(m_cr, color);
  cairo_set_line_width(m_cr, width);
  rounded_path(m_cr, rect.inset(width / 2), std::max(0.f, radius - width / 2));
  cairo_stroke(m_cr);
}

void Canvas::fill_circle(Point c, float radius, Color color) {
  if (radius <= 0 || color.a <= 0) return;
  set_color(m_cr, color);
  cairo_new_sub_path(m_cr);
  cairo_arc(m_cr, c.x, c.y, radius, 0, 2 * M_PI);
  cairo_fill(m_cr);
}

void Canvas::stroke_circle(Point c, float radius, float width, Color color) {
  if (radius <= 0 || color.a <= 0) return;
  set_color(m_cr, color);
  cairo_set_line_width(m_cr, width);
  cairo_new_sub_path(m_cr);
  cairo_arc(m_cr, c.x, c.y, radius, 0, 2 * M_PI);
  cairo_stroke(m_cr);
}

void Canvas::line(Point a, Point b, float width, Color color) {
  set_color(m_cr, color);
  cairo_set_line_width(m_cr, width);
  cairo_move_to(m_cr, a.x, a.y);
  cairo_line_to(m_cr, b.x, b.y);
  cairo_stroke(m_cr);
}

void Canvas::soft_shadow(Rect rect, float radius, float blur, Color color, Point offset) {
  if (rect.empty() || color.a <= 0) return;
  // Stacked expanding rounded rectangles with a falling alpha approximate a Gaussian falloff
  // at a fraction of the cost of blurring an offscreen mask.
  int steps = std::clamp(int(blur / 1.5f), 1, 12);
  Rect base = rect.translated(offset.x, offset.y);
  for (int i = steps; i >= 1; --i) {
    float t = float(i) / steps;  // 1 = outermost
    float grow = blur * t;
    float alpha = color.a * (1 - t) * (1 - t) * 2.2f / steps + color.a / (steps * 3.f);
    Rect r{base.x - grow / 2, base.y - grow / 2, base.w + grow, base.h + grow};
    fill_rounded_rect(r, radius + grow / 2, color.with_alpha(std::min(alpha, color.a)));
  }
}

void Canvas::push_clip(Rect rect, float radius) {
  cairo_save(m_cr);
  rounded_path(m_cr, rect, radius);
  cairo_clip(m_cr);
}

void Canvas::pop_clip() { cairo_restore(m_cr); }

void Canvas::push_transform(float dx, float dy, float scale, float opacity) {
  cairo_save(m_cr);
  cairo_translate(m_cr, dx, dy);
  if (scale != 1.f) cairo_scale(m_cr, scale, scale);
  if (opacity < 1.f) cairo_push_group(m_cr);
  m_transform_opacity.push_back(opacity);
}

void Canvas::pop_transform() {
  if (m_transform_opacity.empty()) return;
  float opacity = m_transform_opacity.back();
  m_transform_opacity.pop_back();
  if (opacity < 1.f) {
    cairo_pop_group_to_source(m_cr);
    cairo_paint_with_alpha(m_cr, std::max(0.f, opacity));
  }
  cairo_restore(m_cr);
}

void Canvas::text(std::string_view s, Point at, float size, Color color, int weight) {
  TextRenderer::shared().draw_text_weighted(*this, s, at, size, weight, color);
}

void Canvas::text_truncated(std::string_view s, Point at, float size, Color color, float max_width, int weight) {
  TextRenderer::shared().draw_text_weighted(*this, s, at, size, weight, color, max_width);
}

void Canvas::text_wrapped(std::string_view s, Point at, float size, Color color, float width, int weight) {
  TextRenderer::shared().draw_wrapped(*this, s, at, size, width, weight, color);
}

void Canvas::text_centered(std::string_view s, Rect box, float size, Color color, int weight) {
  auto& tr = TextRenderer::shared();
  float w = tr.measure_weighted(s, size, weight);
  float h = tr.line_height(size, weight);
  tr.draw_text_weighted(*this, s, {box.x + (box.w - w) / 2, box.y + (box.h - h) / 2}, size, weight, color);
}

}  // namespace kivo_ui
