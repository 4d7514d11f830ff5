#include "runtime/ui/button.h"

#include <variant>

namespace kivo_ui {

bool Button::handle_event(const Event& event) {
  if (auto* m = std::get_if<PointerMoveEvent>(&event)) {
    hovered = rect.contains(m->pos);
    return false;
  }
  if (std::holds_alternative<PointerLeaveEvent>(event)) {
    hovered = pressed = false;
    return false;
  }
  auto* b = std::get_if<PointerButtonEvent>(&event);
  if (!b || b->button != PointerButton::Primary || disabled) return false;
  bool inside = rect.contains(b->pos);
  if (b->pressed) {
    pressed = inside;
    return false;
  }
  bool clicked = pressed && inside;
  pressed = false;
  return clicked;
}

Color Button::fill_color(const Theme& t) const {
  Color base;
  switch (style) {
    case ButtonStyle::Primary: base = t.primary; break;
    case ButtonStyle::Danger: base = t.alert; break;
    case ButtonStyle::Secondary: base = t.lift(t.accent, 0.72f); break;
    case ButtonStyle::Ghost: base = t.accent.with_alpha(0.f); break;
  }
  if (disabled) return t.lift(base, 0.55f);
  if (pressed) return Colors::mix(base, Colors::black(), 0.12f);
  if (hovered) return style == ButtonStyle::Ghost ? t.lift(t.accent, 0.8f) : Colors::mix(base, Colors::white(), 0.1f);
  return base;
}

void Button::draw(Canvas& canvas) const {
  const Theme& t = canvas.theme();
  Color fill = fill_color(t);
  canvas.fill_rounded_rect(rect, radius, fill);
  if (style == ButtonStyle::Secondary) canvas.stroke_rounded_rect(rect, radius, t.hairline, t.border);
  Color text = style == ButtonStyle::Secondary || style == ButtonStyle::Ghost ? t.text : t.on_surface(fill);
  if (disabled) text = style == ButtonStyle::Secondary || style == ButtonStyle::Ghost ? t.muted_text : text.scale_alpha(0.75f);
  canvas.text_centered(label, rect, text_size, text, weight);
}

}  // namespace kivo_ui
