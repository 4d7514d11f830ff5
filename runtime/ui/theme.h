// Theme: the colour roles, spacing tokens and fonts the views draw with, light or dark, at a scale factor.
#pragma once

#include <array>
#include <string>

#include "runtime/ui/color.h"

namespace kivo_ui {

enum class ThemeMode { Light, Dark };

struct Theme {
  ThemeMode mode = ThemeMode::Light;
  float scale = 1.f;  // display scale factor s (device pixels per logical pixel)

  // Colour roles.
  Color window_bg = Color::rgb(0xf7f7f9);
  Color panel_bg = Color::rgb(0xffffff);
  Color rail_bg = Color::rgb(0xeceef3);
  Color popover_bg = Color::rgb(0xffffff);
  Color field_bg = Color::rgb(0xeef0f4);
  Color primary = Color::rgb(0x4f5bd5);
  Color primary_tint_text = Color::rgb(0x3a44b0);
  Color link_text = Color::rgb(0x3056c8);
  Color text = Color::rgb(0x1d1d22);
  Color muted_text = Color::rgb(0x6b6f7b);
  Color border = Color::rgb(0xd9dce3);
  Color accent = Color::rgb(0x8a94b8);
  Color alert = Color::rgb(0xd4393b);
  Color scrim = Color::rgb(0x0d0e12, 0.6f);
  Color shadow = Color::rgb(0x000000, 0.22f);
  std::array<Color, 3> palette = {Color::rgb(0x2e9d6b), Color::rgb(0xd9822b), Color::rgb(0xa24fc4)};

  // Spacing tokens (logical pixels).
  float small_gap = 4;
  float chip_padding = 8;
  float hairline = 1;
  float inset = 16;
  float pill_padding = 12;
  float pill_height = 30;

  // Text sizes (pixels).
  float header_pill_text_size = 12.5f;
  float title_text_size = 17;
  float body_text_size = 14;

  // Fonts: the UI family and the colour-emoji family that fills in for glyphs the UI font lacks.
  std::string ui_font = "Inter";
  std::string emoji_font = "Noto Color Emoji";

  static Theme light(float scale = 1.f);
  static Theme dark(float scale = 1.f);

  bool is_dark() const { return mode == ThemeMode::Dark; }
  Color on_surface(Color surface) const;     // readable text colour on a filled surface
  Color lift(Color c, float amount) const;   // c mixed towards the window background by amount
  Color palette_color(int index) const;      // the eight colours a colour index selects (modulo 8)
  std::string font_families() const;         // Pango family list: UI font, then the emoji font
};

}  // namespace kivo_ui
