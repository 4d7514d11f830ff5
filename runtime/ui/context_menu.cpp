#include "runtime/ui/context_menu.h"

#include <algorithm>
#include <variant>

#include "runtime/ui/surface.h"
#include "runtime/ui/text_renderer.h"

namespace kivo_ui {

void ContextMenu::push(int code, std::string label, bool destructive, bool enabled) {
  m_items.push_back({code, std::move(label), destructive, enabled});
}

void ContextMenu::open_at_clamped(Point at, Rect bounds) {
  auto& tr = TextRenderer::shared();
  float w = kMinWidth;
  for (const auto& item : m_items) w = std::max(w, tr.measure(item.label, kTextSize) + 40);
  float h = kPadding * 2 + kItemHeight * float(m_items.size());
  w = std::min(w, std::max(40.f, bounds.w - 16));
  float x = std::clamp(at.x, bounds.x + 8, std::max(bounds.x + 8, bounds.right() - w - 8));
  float y = std::clamp(at.y, bounds.y + 8, std::max(bounds.y + 8, bounds.bottom() - h - 8));
  m_rect = {x, y, w, h};
  m_open = true;
  m_highlight.reset();
}

Rect ContextMenu::item_rect(size_t index) const {
  return {m_rect.x + kPadding, m_rect.y + kPadding + kItemHeight * float(index), m_rect.w - 2 * kPadding, kItemHeight};
}

std::optional<size_t> ContextMenu::item_at(Point p) const {
  for (size_t i = 0; i < m_items.size(); ++i)
    if (item_rect(i).contains(p)) return i;
  return std::nullopt;
}

void ContextMenu::move_highlight(int step) {
  size_t n = m_items.size();
  if (n == 0) return;
  // Starting from nothing, Down lands on the first enabled item and Up on the last.
  long start = m_highlight ? long(*m_highlight) : (step > 0 ? -1 : long(n));
  for (size_t tries = 0; tries < n; ++tries) {
    start = ((start + step) % long(n) + long(n)) % long(n);
    if (m_items[size_t(start)].enabled) {
      m_highlight = size_t(start);
      return;
    }
  }
}

MenuResponse ContextMenu::handle_event(const Event& event) {
  MenuResponse r;
  if (!m_open) return {false, std::nullopt, false};
  auto choose = [&](size_t i) {
    if (i < m_items.size() && m_items[i].enabled) {
      r.chosen = m_items[i].code;
      r.stays_open = false;
      m_open = false;
    }
  };
  if (auto* k = std::get_if<KeyEvent>(&event)) {
    if (!k->pressed) return {false, std::nullopt, true};
    r.consumed = true;
    switch (k->key) {
      case Key::Down: move_highlight(1); break;
      case Key::Up: move_highlight(-1); break;
      case Key::Tab: move_highlight(k->mods.shift ? -1 : 1); break;
      case Key::Home: m_highlight.reset(); move_highlight(1); break;
      case Key::End: m_highlight.reset(); move_highlight(-1); break;
      case Key::Enter:
      case Key::Space:
        if (m_highlight) choose(*m_highlight);
        break;
      default:  // Escape and any other key close the menu without choosing
        r.stays_open = false;
        m_open = false;
    }
    return r;
  }
  if (auto* m = std::get_if<PointerMoveEvent>(&event)) {
    auto hit = item_at(m->pos);
    if (hit && m_items[*hit].enabled) m_highlight = hit;
    else if (!m_rect.contains(m->pos)) m_highlight.reset();
    r.consumed = m_rect.contains(m->pos);
    return r;
  }
  if (auto* b = std::get_if<PointerButtonEvent>(&event)) {
    r.consumed = true;
    if (!m_rect.contains(b->pos)) {
      if (b->pressed) {
        r.stays_open = false;
        m_open = false;
      }
      return r;
    }
    if (!b->pressed && b->button == PointerButton::Primary) {
      if (auto hit = item_at(b->pos)) choose(*hit);
    }
    return r;
  }
  if (std::holds_alternative<TextInputEvent>(event) || std::holds_alternative<WheelEvent>(event)) {
    r.consumed = true;
    r.stays_open = false;
    m_open = false;
    return r;
  }
  if (auto* f = std::get_if<FocusEvent>(&event); f && !f->focused) {
    r.stays_open = false;
    m_open = false;
  }
  return r;
}

MenuResponse ContextMenu::perform_semantic_action(const SemanticAction& action) {
  MenuResponse r{true, std::nullopt, true};
  if (!m_open) return {false, std::nullopt, false};
  auto find = [&]() -> std::optional<size_t> {
    if (action.index) return *action.index < m_items.size() ? action.index : std::nullopt;
    for (size_t i = 0; i < m_items.size(); ++i)
      if (m_items[i].label == action.value || std::to_string(m_items[i].code) == action.value) return i;
    return m_highlight;
  };
  switch (action.kind) {
    case SemanticKind::Activate: {
      auto i = find();
      if (i && m_items[*i].enabled) {
        r.chosen = m_items[*i].code;
        r.stays_open = false;
        m_open = false;
      } else {
        r.consumed = false;
      }
      break;
    }
    case SemanticKind::Focus:
      if (auto i = find(); i && m_items[*i].enabled) m_highlight = i;
      break;
    case SemanticKind::Next: move_highlight(1); break;
    case SemanticKind::Previous: move_highlight(-1); break;
    case SemanticKind::Dismiss:
      r.stays_open = false;
      m_open = false;
      break;
    default: r.consumed = false;
  }
  return r;
}

void ContextMenu::draw(Canvas& canvas) const {
  if (!m_open) return;
  const Theme& t = canvas.theme();
  surface::popover(canvas, m_rect, 10);
  auto& tr = TextRenderer::shared();
  float lh = tr.line_height(kTextSize);
  for (size_t i = 0; i < m_items.size(); ++i) {
    const MenuItem& item = m_items[i];
    Rect r = item_rect(i);
    if (m_highlight == i) {
      Color hl = item.destructive ? t.alert.with_alpha(0.14f) : t.lift(t.accent, 0.72f);
      canvas.fill_rounded_rect(r, 6, hl);
    }
    Color color = !item.enabled ? t.muted_text.scale_alpha(0.6f) : item.destructive ? t.alert : t.text;
    canvas.text_truncated(item.label, {r.x + 12, r.y + (r.h - lh) / 2}, kTextSize, color, r.w - 24);
  }
}

}  // namespace kivo_ui
