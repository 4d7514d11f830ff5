// The interactive run: an SDL2 window whose frames are drawn with Cairo and blitted to the
// window surface. Frames are drawn only on input, wake-ups, redraw requests and while the widget
// animates; an idle window sleeps in SDL_WaitEvent.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/ui/geometry.h"
#include "runtime/ui/widget.h"

namespace kivo_ui::launch {

struct WindowOptions {
  std::string title = "Kivo";
  Size size{1280, 800};  // logical pixels
  bool resizable = true;
  bool decorated = true;
  bool start_hidden = false;
  bool transparent = false;
};

// Opens the window, drives the widget until the window closes; answers the exit status.
// make_widget runs after the window exists (so it may use the wake handle from its context).
int run_window(const WindowOptions& options, const std::function<std::unique_ptr<Widget>(WidgetContext&)>& make_widget);

float display_scale_factor();  // KIVO_UI_SCALE when set, else the display's DPI / 96, 1..4

}  // namespace kivo_ui::launch
