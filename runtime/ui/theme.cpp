#include "runtime/ui/theme.h"

namespace kivo_ui {

Theme Theme::light(float scale) {
  Theme t;
  t.scale = scale;
  return t;
}

Theme Theme::dark(float scale) {
  Theme t;
  t.mode = ThemeMode::Dark;
  t.scale = scale;
  t.window_bg = Color::rgb(0x1b1c20);
  t.text = Color::rgb(0xe8e8ec);
  return t;
}

}  // namespace kivo_ui
