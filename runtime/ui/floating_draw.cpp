#include "runtime/ui/floating_draw.h"

#include "runtime/ui/floating_placement.h"
#include "runtime/ui/surface.h"

namespace kivo_ui {

void draw_unattached_floating_surfaces(Widget& widget, Canvas& canvas, bool only_returning) {
  FloatingSurfaceHost* host = widget.floating_host();
  if (!host) return;
  for (const FloatingSurfaceDescriptor& d : host->floating_surfaces()) {
    FloatingPlacement* p = host->floating_placement(d.surface_id);
    if (!p || p->is_attached()) continue;
    if (only_returning && p->mode() != FloatingMode::Returning) continue;
    Rect base = p->attached_rect();
    PresentationTransform t = p->presentation_transform();
    Rect shown = p->mode() == FloatingMode::Detached
                     ? p->detached_rect()
                     : Rect{base.x + t.dx, base.y + t.dy, base.w * t.scale, base.h * t.scale};
    float scale = p->mode() == FloatingMode::Detached ? 1.f : t.scale;
    Size inner = p->mode() == FloatingMode::Detached ? Size{shown.w, shown.h} : Size{base.w, base.h};
    surface::shadow(canvas, shown, 14, canvas.theme().shadow, 22, 8);
    canvas.push_clip(shown, 14);
    canvas.push_transform(shown.x, shown.y, scale, t.opacity);
    Canvas sub(canvas.cairo(), inner, canvas.theme());
    host->draw_floating_surface(d.surface_id, sub);
    canvas.pop_transform();
    canvas.pop_clip();
    surface::outline(canvas, shown, 14);
  }
}

}  // namespace kivo_ui
