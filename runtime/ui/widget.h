// Widget: the operations the toolkit calls on the application's root widget each frame.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/ui/canvas.h"
#include "runtime/ui/event.h"
#include "runtime/ui/geometry.h"
#include "runtime/ui/semantic_action.h"
#include "runtime/ui/wake_handle.h"

namespace kivo_ui {

namespace access {
struct AccessNode;  // the accessibility tree's node (filled by Widget::accessibility)
}

class FloatingSurfaceHost;
namespace doc {
class DocumentTarget;
}
namespace app {
class App;
}
namespace bound_dispatch {
class ActionHost;
}

// What the toolkit hands to the widget operations: the run's shared state, filled by the toolkit.
struct WidgetContext {
  float scale = 1.f;                // display scale factor of the window
  Size window_size;                 // logical size of the window
  double now = 0;                   // seconds on the frame clock (monotonic)
  uint64_t frame = 0;               // frames drawn so far
  bool interactive = false;         // a window run (false for screenshots and tests)
  WakeHandle wake;                  // wakes the loop from background threads
  bool redraw_requested = false;    // set by a widget to get one more frame
  doc::DocumentTarget* document = nullptr;      // the application's shared document, when it has one
  app::App* app = nullptr;                      // the typed actions the application registered
  bound_dispatch::ActionHost* actions = nullptr;  // runs typed actions over `document`
  void request_redraw() { redraw_requested = true; }
};

enum class CursorShape { Default, Text, Pointer, Grab, Grabbing, ResizeHorizontal };

class Widget {
public:
  virtual ~Widget() = default;

  virtual void sync(WidgetContext&) {}                                 // per frame, before layout
  virtual kivo::Status build_layout(WidgetContext&) { return {}; }     // declares child layout nodes
  virtual void apply_layout(WidgetContext&, Rect bounds) { m_bounds = bounds; }
  virtual void draw(WidgetContext&, Canvas& canvas) { canvas.clear(canvas.theme().window_bg); }
  // Input; answers whether the event was consumed (state changes also request a redraw).
  virtual bool handle_event(WidgetContext&, const Event&) { return false; }

  virtual bool needs_animation_frame() const { return false; }  // another frame without input?
  virtual bool has_pending_work() { return false; }              // background results waiting for sync
  virtual bool take_redraw_request() { return false; }           // one more frame after this one

  virtual std::string widget_name() const { return "Widget"; }
  virtual Rect bounds() const { return m_bounds; }
  virtual CursorShape cursor_shape(Point) const { return CursorShape::Default; }
  virtual std::optional<std::string> tooltip(Point) const { return std::nullopt; }
  virtual void set_focus(bool) {}
  virtual std::optional<Rect> text_input_rect() const { return std::nullopt; }  // where IME windows go

  // Accessibility: fills the root node; false when the widget exposes no tree.
  virtual bool accessibility(access::AccessNode&) const { return false; }
  virtual std::optional<Rect> synthetic_accessibility_rect(std::string_view) const { return std::nullopt; }
  virtual bool focus_synthetic_accessibility(std::string_view) { return false; }
  virtual bool perform_semantic_action(WidgetContext&, const SemanticAction&) { return false; }

  // Typed actions the widget performs itself ("chat.operation"), with their JSON payloads.
  virtual std::vector<std::string> accepted_typed_actions() const { return {}; }
  virtual kivo::Status perform_typed_action(WidgetContext&, std::string_view name, std::string_view) {
    return kivo::make_error("typed action \"" + std::string(name) + "\" is not accepted");
  }

  virtual bool context_menu_shown() const { return false; }
  virtual std::optional<Rect> context_menu_rect() const { return std::nullopt; }
  virtual bool pointer_drag_active() const { return false; }

  // Floating surfaces (call windows): the host interface, or none.
  virtual FloatingSurfaceHost* floating_host() { return nullptr; }

protected:
  Rect m_bounds;
};

}  // namespace kivo_ui
