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
  t.panel_bg = Color::rgb(0x222328);
  t.rail_bg = Color::rgb(0x151619);
  t.popover_bg = Color::rgb(0x2a2b31);
  t.field_bg = Color::rgb(0x2e3036);
  t.primary = Color::rgb(0x6c77ee);
  t.primary_tint_text = Color::rgb(0xb4baff);
  t.link_text = Color::rgb(0x8fb0ff);
  t.text = Color::rgb(0xe8e8ec);
  t.muted_text = Color::rgb(0x9a9eaa);
  t.border = Color::rgb(0x3a3c44);
  t.accent = Color::rgb(0x59607a);
  t.alert = Color::rgb(0xf06060);
  t.scrim = Color::rgb(0x000000, 0.7f);
  t.shadow = Color::rgb(0x000000, 0.45f);
  t.palette = {Color::rgb(0x4cc38a), Color::rgb(0xf0a050), Color::rgb(0xc07ae0)};
  return t;
}

Color Theme::on_surface(Color surface) const {
  return Colors::contrast(Colors::white(), surface) >= Colors::contrast(Color::rgb(0x111216), surface)
             ? Colors::white()
             : Color::rgb(0x111216);
}

Color Theme::lift(Color c, float amount) const { return Colors::lift(c, amount, window_bg); }

Color Theme::palette_color(int index) const {
  int i = ((index % 8) + 8) % 8;
  switch (i) {
    case 0: return primary;
    case 1: return accent;
    case 2: return link_text;
    case 3: return palette[0];
    case 4: return palette[1];
    case 5: return palette[2];
    case 6: return primary_tint_text;
    default: return alert;
  }
}

std::string Theme::font_families() const { return ui_font + "," + emoji_font; }

}  // namespace kivo_ui
