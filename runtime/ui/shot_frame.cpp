#include "runtime/ui/shot_frame.h"

#include <cairo.h>

namespace kivo_ui::launch::shot_frame {

ShotFrame::ShotFrame(int width, int height, Theme theme) : m_width(width), m_height(height), m_theme(theme) {
  m_context.scale = theme.scale;
  m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

ShotFrame::~ShotFrame() { cairo_surface_destroy(m_surface); }

void ShotFrame::sync(Widget& widget) { widget.sync(m_context); }

kivo::Status ShotFrame::layout(Widget& widget) {
  KIVO_TRY(widget.build_layout(m_context));
  widget.apply_layout(m_context, Rect{0, 0, float(m_width), float(m_height)});
  return {};
}

void ShotFrame::draw(Widget& widget) {
  cairo_t* cr = cairo_create(m_surface);
  Canvas canvas(cr, Size{float(m_width), float(m_height)}, m_theme);
  widget.draw(m_context, canvas);
  cairo_destroy(cr);
}

void ShotFrame::draw_floating_surfaces(Widget&) {}

kivo::Status ShotFrame::write_png(const std::filesystem::path& path) const {
  cairo_surface_flush(m_surface);
  cairo_status_t status = cairo_surface_write_to_png(m_surface, path.c_str());
  if (status != CAIRO_STATUS_SUCCESS)
    return kivo::make_error("cannot write " + path.string() + ": " + cairo_status_to_string(status));
  return {};
}

}  // namespace kivo_ui::launch::shot_frame
