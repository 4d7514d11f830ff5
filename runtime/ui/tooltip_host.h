// TooltipHost: shows a hover tooltip after the pointer rests on something that has one.
#pragma once

#include <optional>
#include <string>

#include "runtime/ui/canvas.h"

namespace kivo_ui {

class TooltipHost {
public:
  explicit TooltipHost(double delay_seconds = 0.55) : m_delay(delay_seconds) {}

  // The pointer is at pos over something with this tooltip (or none); now on the frame clock.
  void on_pointer(Point pos, std::optional<std::string> text, double now);
  void tick(double now);    // once per draw: makes a waiting tooltip visible after the delay
  void hide();
  bool visible() const { return m_visible; }
  bool waiting() const { return m_text && !m_visible; }  // a frame is wanted once the delay has passed
  double due_at() const { return m_since + m_delay; }
  const std::optional<std::string>& text() const { return m_text; }
  void draw(Canvas& canvas) const;  // near the pointer, kept inside the canvas

private:
  double m_delay;
  std::optional<std::string> m_text;
  Point m_pos;
  double m_since = 0;
  bool m_visible = false;
};

}  // namespace kivo_ui
