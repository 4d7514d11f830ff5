// The window's regions and responsive modes: wide, compact (< 1040) and narrow (< 760) layouts,
// the two sliding flaps (left: rail and sidebar; right: people or thread panel) and their easing.
#pragma once

#include <optional>

#include "runtime/ui/geometry.h"

namespace chat {

enum class FlapOverride { Automatic, Closed, Open };

// One sliding flap; v runs from 0 (closed) to 1 (open).
struct Flap {
  double last_step = -1;          // frame-clock time of the last step; negative before the first
  double v = 0;
  bool default_open = false;
  FlapOverride override_state = FlapOverride::Automatic;
  std::optional<bool> mode;       // the mode flag the flap was last evaluated for
  bool settled = true;

  static Flap make(bool default_open) {
    Flap f;
    f.default_open = default_open;
    f.v = default_open ? 1 : 0;
    return f;
  }
  bool shown(bool mode_flag) const {
    if (override_state == FlapOverride::Automatic) return default_open && !mode_flag;
    return override_state == FlapOverride::Open;
  }
  double eased() const;  // 1 − (1 − clamp(v))³
  void toggle(bool mode_flag) { override_state = shown(mode_flag) ? FlapOverride::Closed : FlapOverride::Open; }
};

// Steps a flap for this frame: snaps on the first evaluation, forgets the override when the mode
// changed, then eases towards its target. Answers whether it is still moving.
bool step_flap(Flap& flap, bool mode_flag, double now);

struct ModeFlags {
  bool narrow = false;   // logical width < 760
  bool compact = false;  // logical width < 1040
};
// Recomputed only for a width of at least 1; otherwise `previous` stays.
ModeFlags mode_flags(kivo_ui::Rect bounds, float scale, ModeFlags previous);

struct WindowRegions {
  kivo_ui::Rect bounds;
  kivo_ui::Rect rail, sidebar, content, header, list, composer, right_panel;
  bool left_shown = false, right_shown = false;  // derived shown states of the flaps
  double left_eased = 0, right_eased = 0;
  bool sidebar_docked = false;  // not narrow and the left flap shown (the content starts after it)
};

// `composer_text_height`: the composer's text at 15 px wrapped to max(content width − 48, 40).
struct RegionInputs {
  kivo_ui::Rect bounds;
  float scale = 1;
  ModeFlags modes;
  const Flap* left = nullptr;
  const Flap* right = nullptr;
  bool thread_open = false;
  float composer_text_height = 0;
};
WindowRegions compute_regions(const RegionInputs& in);
float composer_height(float scale, float text_height);  // clamp(76s + max(text − 19s, 0), 76s, 200s)

}  // namespace chat
