#include "runtime/ui/floating_placement.h"

#include <algorithm>

namespace kivo_ui {

FloatingPlacement::FloatingPlacement(Transition::Clock clock) : m_handoff(0.32, std::move(clock)) {}

void FloatingPlacement::set_attached_chrome(Rect chrome) { m_chrome = chrome; }

Rect FloatingPlacement::attached_rect() const {
  Rect r = m_chrome.translated(m_offset.x, m_offset.y);
  // Keep the surface reachable: at least 24 pixels of it stay inside the window.
  r.x = std::clamp(r.x, m_window.x - r.w + 24, m_window.right() - 24);
  r.y = std::clamp(r.y, m_window.y, std::max(m_window.y, m_window.bottom() - 24));
  return r;
}

void FloatingPlacement::begin_drag(Point pointer) {
  if (m_mode != FloatingMode::Attached) return;
  m_mode = FloatingMode::Dragging;
  m_drag_start = pointer;
  m_drag_offset_start = m_offset;
}

void FloatingPlacement::update_drag(Point pointer) {
  if (m_mode != FloatingMode::Dragging) return;
  m_offset = {m_drag_offset_start.x + pointer.x - m_drag_start.x, m_drag_offset_start.y + pointer.y - m_drag_start.y};
}

void FloatingPlacement::end_drag() {
  if (m_mode != FloatingMode::Dragging) return;
  Rect r = attached_rect();
  m_offset = {r.x - m_chrome.x, r.y - m_chrome.y};
  m_mode = FloatingMode::Attached;
}

void FloatingPlacement::detach_to_desktop(Size min_size) {
  Rect from = m_mode == FloatingMode::Detached ? m_detached : attached_rect();
  m_detached = {from.x, from.y, std::max(from.w, min_size.w), std::max(from.h, min_size.h)};
  m_mode = FloatingMode::Detached;
  m_handoff.snap(false);
}

void FloatingPlacement::reattach_to_app() {
  if (m_mode != FloatingMode::Detached) return;
  m_mode = FloatingMode::Returning;
  m_handoff.snap(false);
  m_handoff.set_open(true);
}

void FloatingPlacement::confirm_app_adoption() {
  if (m_mode == FloatingMode::Returning || m_mode == FloatingMode::Detached) {
    m_mode = FloatingMode::Attached;
    m_handoff.snap(true);
  }
}

bool FloatingPlacement::is_handoff_animating() const {
  return m_mode == FloatingMode::Returning && m_handoff.is_animating();
}

PresentationTransform FloatingPlacement::presentation_transform() const {
  Rect target = attached_rect();
  if (m_mode == FloatingMode::Detached) {
    return {m_detached.x - target.x, m_detached.y - target.y, target.w > 0 ? m_detached.w / target.w : 1.f, 1};
  }
  if (m_mode != FloatingMode::Returning) return {};
  float p = m_handoff.value();
  float scale_from = target.w > 0 ? m_detached.w / target.w : 1.f;
  return {(m_detached.x - target.x) * (1 - p), (m_detached.y - target.y) * (1 - p), scale_from + (1 - scale_from) * p,
          0.6f + 0.4f * p};
}

void FloatingPlacement::reset() {
  m_mode = FloatingMode::Attached;
  m_offset = {};
  m_handoff.snap(true);
}

}  // namespace kivo_ui
