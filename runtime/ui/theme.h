// Theme: the colour roles and spacing the views draw with, light or dark, at a scale factor.
#pragma once

#include "runtime/ui/color.h"

namespace kivo_ui {

enum class ThemeMode { Light, Dark };

struct Theme {
  ThemeMode mode = ThemeMode::Light;
  float scale = 1.f;           // display scale factor s
  Color window_bg = Color::rgb(0xf7f7f9);
  Color text = Color::rgb(0x1d1d22);

  static Theme light(float scale = 1.f);
  static Theme dark(float scale = 1.f);
};

}  // namespace kivo_ui
