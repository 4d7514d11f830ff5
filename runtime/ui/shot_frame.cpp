#include "runtime/ui/shot_frame.h"

#include <cairo.h>

#include "runtime/ui/floating_draw.h"
#include "runtime/ui/text_renderer.h"
#include "runtime/ui/transition.h"

namespace kivo_ui::launch::shot_frame {

ShotFrame::ShotFrame(int width, int height, Theme theme) : m_width(width), m_height(height), m_theme(theme) {
  m_context.scale = theme.scale;
  m_context.window_size = Size{float(width), float(height)};
  m_context.now = monotonic_seconds();
  TextRenderer::shared().set_font_families(theme.font_families());
  int pw = std::max(1, int(width * theme.scale + 0.5f)), ph = std::max(1, int(height * theme.scale + 0.5f));
  m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
}

ShotFrame::~ShotFrame() { cairo_surface_destroy(m_surface); }

void ShotFrame::sync(Widget& widget) {
  m_context.now = monotonic_seconds();
  widget.sync(m_context);
}

kivo::Status ShotFrame::layout(Widget& widget) {
  KIVO_TRY(widget.build_layout(m_context));
  widget.apply_layout(m_context, Rect{0, 0, float(m_width), float(m_height)});
  return {};
}

void ShotFrame::draw(Widget& widget) {
  m_context.now = monotonic_seconds();
  cairo_t* cr = cairo_create(m_surface);
  cairo_scale(cr, m_theme.scale, m_theme.scale);
  Canvas canvas(cr, Size{float(m_width), float(m_height)}, m_theme);
  widget.draw(m_context, canvas);
  cairo_destroy(cr);
  ++m_context.frame;
}

void ShotFrame::draw_floating_surfaces(Widget& widget) {
  cairo_t* cr = cairo_create(m_surface);
  cairo_scale(cr, m_theme.scale, m_theme.scale);
  Canvas canvas(cr, Size{float(m_width), float(m_height)}, m_theme);
  draw_unattached_floating_surfaces(widget, canvas, false);
  cairo_destroy(cr);
}

kivo::Status ShotFrame::write_png(const std::filesystem::path& path) const {
  cairo_surface_flush(m_surface);
  cairo_status_t status = cairo_surface_write_to_png(m_surface, path.c_str());
  if (status != CAIRO_STATUS_SUCCESS)
    return kivo::make_error("cannot write " + path.string() + ": " + cairo_status_to_string(status));
  return {};
}

}  // namespace kivo_ui::launch::shot_frame
