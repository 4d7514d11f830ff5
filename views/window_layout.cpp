#include "views/window_layout.h"

#include <algorithm>
#include <cmath>

namespace chat {

double Flap::eased() const {
  double c = std::clamp(v, 0.0, 1.0);
  return 1 - (1 - c) * (1 - c) * (1 - c);
}

bool step_flap(Flap& flap, bool mode_flag, double now) {
  if (!flap.mode) {
    flap.mode = mode_flag;
    flap.v = flap.shown(mode_flag) ? 1 : 0;
    flap.last_step = now;
    flap.settled = true;
    return false;
  }
  if (*flap.mode != mode_flag) {
    flap.mode = mode_flag;
    flap.override_state = FlapOverride::Automatic;  // crossing a breakpoint forgets the manual choice
  }
  double dt = flap.last_step < 0 ? 0 : std::min(std::max(now - flap.last_step, 0.0), 0.1);
  flap.last_step = now;
  double target = flap.shown(mode_flag) ? 1 : 0;
  flap.v += (1 - std::exp(-14 * dt)) * (target - flap.v);
  flap.settled = std::abs(flap.v - target) < 0.001;
  if (flap.settled) flap.v = target;
  return !flap.settled;
}

ModeFlags mode_flags(kivo_ui::Rect bounds, float scale, ModeFlags previous) {
  float w = bounds.w / std::max(scale, 1.f);
  if (w < 1) return previous;
  return {w < 760, w < 1040};
}

float composer_height(float s, float text_height) {
  return std::clamp(76 * s + std::max(text_height - 19 * s, 0.f), 76 * s, 200 * s);
}

WindowRegions compute_regions(const RegionInputs& in) {
  WindowRegions r;
  const auto& b = in.bounds;
  float s = in.scale;
  r.bounds = b;
  r.left_shown = in.left && in.left->shown(in.modes.narrow);
  r.right_shown = in.right && in.right->shown(in.modes.compact);
  r.left_eased = in.left ? in.left->eased() : 0;
  r.right_eased = in.right ? in.right->eased() : 0;
  r.sidebar_docked = !in.modes.narrow && r.left_shown;

  float left = b.x, right = b.right(), top = b.y, bottom = b.bottom();
  float rail_left = in.modes.narrow ? left - 316 * float(1 - r.left_eased) : left;
  r.rail = kivo_ui::Rect::from_edges(rail_left, top, rail_left + 68, bottom);
  r.sidebar = kivo_ui::Rect::from_edges(rail_left + 68, top, rail_left + 316, bottom);

  float content_left = in.modes.narrow ? left : (r.left_shown ? left + 316 : left);
  float content_right = in.modes.compact ? right : (r.right_shown ? right - 360 : right);
  r.content = kivo_ui::Rect::from_edges(content_left, top, content_right, bottom);
  r.header = kivo_ui::Rect::from_edges(content_left, top, content_right, top + 60 * s);

  float h = composer_height(s, in.composer_text_height);
  r.composer = kivo_ui::Rect::from_edges(content_left + 14, bottom - 12 - h, content_right - 14, bottom - 12);
  r.list = kivo_ui::Rect::from_edges(content_left, r.header.bottom(), content_right, r.composer.y - 6);

  if (!in.modes.compact)
    r.right_panel = kivo_ui::Rect::from_edges(right - 360, top, right, bottom);
  else if (in.thread_open)
    r.right_panel = kivo_ui::Rect::from_edges(left, top, right, bottom);
  else {
    float x = right - 360 * float(r.right_eased);
    r.right_panel = kivo_ui::Rect::from_edges(x, top, x + 360, bottom);
  }
  return r;
}

}  // namespace chat
