#include "runtime/ui/tooltip_host.h"

#include <algorithm>

#include "runtime/ui/surface.h"
#include "runtime/ui/text_renderer.h"

namespace kivo_ui {

void TooltipHost::on_pointer(Point pos, std::optional<std::string> text, double now) {
  m_pos = pos;
  if (text == m_text) return;
  m_text = std::move(text);
  m_since = now;
  m_visible = false;
}

void TooltipHost::tick(double now) {
  if (m_text && !m_visible && now >= m_since + m_delay) m_visible = true;
}

void TooltipHost::hide() {
  m_text.reset();
  m_visible = false;
}

void TooltipHost::draw(Canvas& canvas) const {
  if (!m_visible || !m_text || m_text->empty()) return;
  auto& tr = TextRenderer::shared();
  const float size = 12;
  float w = std::min(tr.measure(*m_text, size) + 16, 360.f);
  float h = tr.line_height(size) + 10;
  Size area = canvas.size();
  float x = std::clamp(m_pos.x + 12, 4.f, std::max(4.f, area.w - w - 4));
  float y = m_pos.y + 20;
  if (y + h > area.h - 4) y = m_pos.y - h - 8;
  Rect r{x, std::max(4.f, y), w, h};
  const Theme& t = canvas.theme();
  surface::shadow(canvas, r, 6, t.shadow.scale_alpha(0.7f), 8, 2);
  Color bg = t.is_dark() ? Color::rgb(0x3a3c44) : Color::rgb(0x24252b);
  canvas.fill_rounded_rect(r, 6, bg);
  canvas.text_truncated(*m_text, {r.x + 8, r.y + 5}, size, Colors::white(), w - 16);
}

}  // namespace kivo_ui
