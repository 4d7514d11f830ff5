// Widget: the operations the toolkit calls on the application's root widget each frame.
#pragma once

#include <string>

#include "runtime/base/result.h"
#include "runtime/ui/canvas.h"
#include "runtime/ui/geometry.h"

namespace kivo_ui {

// What the toolkit hands to the widget operations: the run's shared state.
struct WidgetContext {
  float scale = 1.f;
};

class Widget {
public:
  virtual ~Widget() = default;

  virtual void sync(WidgetContext&) {}                                 // per frame, before layout
  virtual kivo::Status build_layout(WidgetContext&) { return {}; }     // declares child layout nodes
  virtual void apply_layout(WidgetContext&, Rect bounds) { m_bounds = bounds; }
  virtual void draw(WidgetContext&, Canvas& canvas) { canvas.clear(canvas.theme().window_bg); }
  virtual bool needs_animation_frame() const { return false; }  // another frame without input?
  virtual std::string widget_name() const { return "Widget"; }
  virtual Rect bounds() const { return m_bounds; }

protected:
  Rect m_bounds;
};

}  // namespace kivo_ui
