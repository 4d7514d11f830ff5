#include "runtime/ui/surface.h"

#include <cstdio>
#include <string>

namespace kivo_ui::surface {

void card(Canvas& canvas, Rect rect, float radius, Color fill) { canvas.fill_rounded_rect(rect, radius, fill); }

void card_outlined(Canvas& canvas, Rect rect, float radius, Color fill, Color border, float width) {
  canvas.fill_rounded_rect(rect, radius, fill);
  canvas.stroke_rounded_rect(rect, radius, width, border);
}

void separator(Canvas& canvas, float x0, float x1, float y) {
  const Theme& t = canvas.theme();
  canvas.fill_rect({x0, y, x1 - x0, t.hairline}, t.border);
}

void vertical_separator(Canvas& canvas, float x, float y0, float y1) {
  const Theme& t = canvas.theme();
  canvas.fill_rect({x, y0, t.hairline, y1 - y0}, t.border);
}

void shadow(Canvas& canvas, Rect rect, float radius, float offset_y) {
  shadow(canvas, rect, radius, canvas.theme().shadow, 14.f, offset_y);
}

void shadow(Canvas& canvas, Rect rect, float radius, Color color, float blur, float offset_y) {
  canvas.soft_shadow(rect, radius, blur, color, {0, offset_y});
}

void panel_border(Canvas& canvas, Rect rect, float radius) {
  const Theme& t = canvas.theme();
  Color edge = t.is_dark() ? Colors::white().with_alpha(0.06f) : Colors::white().with_alpha(0.7f);
  canvas.stroke_rounded_rect(rect.inset(1), std::max(0.f, radius - 1), 1.f, edge);
}

void outline(Canvas& canvas, Rect rect, float radius) {
  canvas.stroke_rounded_rect(rect, radius, canvas.theme().hairline, canvas.theme().border);
}

void popover(Canvas& canvas, Rect rect, float radius) {
  shadow(canvas, rect, radius, 6.f);
  card(canvas, rect, radius, canvas.theme().popover_bg);
  panel_border(canvas, rect, radius);
  outline(canvas, rect, radius);
}

}  // namespace kivo_ui::surface

namespace kivo_ui::format {

std::string bytes(uint64_t size) {
  char buf[32];
  if (size < 1024) {
    std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(size));
  } else if (size < 1024ull * 1024) {
    std::snprintf(buf, sizeof buf, "%.1f KB", double(size) / 1024);
  } else if (size < 1024ull * 1024 * 1024) {
    std::snprintf(buf, sizeof buf, "%.1f MB", double(size) / (1024.0 * 1024));
  } else {
    std::snprintf(buf, sizeof buf, "%.2f GB", double(size) / (1024.0 * 1024 * 1024));
  }
  return buf;
}

}  // namespace kivo_ui::format
