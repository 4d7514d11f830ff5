// Draws a widget's floating surfaces that are not attached (detached or being handed back) over a
// canvas of the window, at their desktop place or their hand-off transform.
#pragma once

#include "runtime/ui/canvas.h"
#include "runtime/ui/widget.h"

namespace kivo_ui {

// only_returning: draw just the surfaces being handed back (the window loop shows detached ones in
// their own desktop windows).
void draw_unattached_floating_surfaces(Widget& widget, Canvas& canvas, bool only_returning);

}  // namespace kivo_ui
