// FloatingPlacement: where a floating surface (a call window) lives: attached inside the
// application window, dragged, detached to the desktop as its own top-level window, and handed
// back to the window with an animation. FloatingSurfaceHost: how a widget offers such surfaces.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/canvas.h"
#include "runtime/ui/transition.h"

namespace kivo_ui {

enum class FloatingMode {
  Attached,   // drawn inside the application window at the attached chrome
  Dragging,   // following the pointer inside the window
  Detached,   // a top-level desktop window of its own
  Returning,  // handed back: animating from the desktop rectangle to the chrome
};

// How the surface is drawn right now relative to its attached chrome.
struct PresentationTransform {
  float dx = 0, dy = 0;  // offset from the chrome's top-left
  float scale = 1;
  float opacity = 1;
};

class FloatingPlacement {
public:
  explicit FloatingPlacement(Transition::Clock clock = monotonic_seconds);

  FloatingMode mode() const { return m_mode; }
  bool is_detached() const { return m_mode == FloatingMode::Detached; }
  bool is_attached() const { return m_mode == FloatingMode::Attached || m_mode == FloatingMode::Dragging; }

  // The rectangle the application lays the attached surface at (every layout).
  void set_attached_chrome(Rect chrome);
  Rect attached_chrome() const { return m_chrome; }
  // Where the attached surface is drawn: the chrome, moved by a drag the user made.
  Rect attached_rect() const;

  void begin_drag(Point pointer);
  void update_drag(Point pointer);
  void end_drag();                        // keeps the dragged position (clamped into the window)
  bool dragging() const { return m_mode == FloatingMode::Dragging; }
  void set_window_bounds(Rect bounds) { m_window = bounds; }

  // Detaches to a desktop window of at least min_size at the current place (window coordinates).
  void detach_to_desktop(Size min_size = {360, 240});
  Rect detached_rect() const { return m_detached; }  // in application-window coordinates
  void set_detached_rect(Rect rect) { m_detached = rect; }  // the desktop window moved or resized

  // Starts handing the surface back: it animates from its desktop place to the chrome.
  void reattach_to_app();
  // The application took the surface back: the hand-off ends now (the animation stops).
  void confirm_app_adoption();
  bool is_handoff_animating() const;
  float handoff_progress() const { return m_handoff.value(); }
  PresentationTransform presentation_transform() const;

  void reset();  // attached, no drag offset

private:
  FloatingMode m_mode = FloatingMode::Attached;
  Rect m_chrome, m_window{0, 0, 1e6f, 1e6f}, m_detached;
  Point m_offset;  // user's drag offset from the chrome
  Point m_drag_start, m_drag_offset_start;
  Transition m_handoff;
};

// A floating surface a widget offers to the toolkit.
struct FloatingSurfaceDescriptor {
  std::string surface_id;
  std::string title;
  std::string app_id;
  std::string restore_key;
  Rect geometry;  // current rectangle in the window
};

class FloatingSurfaceHost {
public:
  virtual ~FloatingSurfaceHost() = default;
  virtual std::vector<FloatingSurfaceDescriptor> floating_surfaces() = 0;
  virtual FloatingPlacement* floating_placement(const std::string& surface_id) = 0;
  // Draws the surface into a canvas of its own size (its top-left at 0, 0).
  virtual void draw_floating_surface(const std::string& surface_id, Canvas& canvas) = 0;
  // The desktop window of a detached surface was closed by the user.
  virtual void floating_surface_closed(const std::string& surface_id) {
    if (auto* p = floating_placement(surface_id)) p->reattach_to_app();
  }
};

}  // namespace kivo_ui
