// Button: a labelled push button in a primary, secondary or danger style; disabled buttons ignore input.
#pragma once

#include <string>

#include "runtime/ui/canvas.h"
#include "runtime/ui/event.h"

namespace kivo_ui {

enum class ButtonStyle { Primary, Secondary, Danger, Ghost };

struct Button {
  std::string label;
  ButtonStyle style = ButtonStyle::Secondary;
  Rect rect;
  bool disabled = false;
  float radius = 8;
  float text_size = 13;
  int weight = 2;

  bool hovered = false;
  bool pressed = false;

  // Tracks hover and press; answers true when a click (press and release inside) completes.
  bool handle_event(const Event& event);
  void draw(Canvas& canvas) const;
  Color fill_color(const Theme& theme) const;
};

}  // namespace kivo_ui
