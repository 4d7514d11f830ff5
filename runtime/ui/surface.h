// Painting helpers the views share: cards, separators, shadows, panel borders and outlines.
#pragma once

#include "runtime/ui/canvas.h"

namespace kivo_ui::surface {

void card(Canvas& canvas, Rect rect, float radius, Color fill);                    // a filled rounded rect
void card_outlined(Canvas& canvas, Rect rect, float radius, Color fill, Color border, float width = 1.f);
void separator(Canvas& canvas, float x0, float x1, float y);                       // hairline in the border colour
void vertical_separator(Canvas& canvas, float x, float y0, float y1);
void shadow(Canvas& canvas, Rect rect, float radius, float offset_y = 4.f);        // the theme's soft drop shadow
void shadow(Canvas& canvas, Rect rect, float radius, Color color, float blur, float offset_y);
void panel_border(Canvas& canvas, Rect rect, float radius);                        // inner light edge of popovers
void outline(Canvas& canvas, Rect rect, float radius);                             // hairline outline in the border colour
// A popover: shadow, card in the popover colour, panel border and outline.
void popover(Canvas& canvas, Rect rect, float radius);

}  // namespace kivo_ui::surface

namespace kivo_ui::format {

std::string bytes(uint64_t size);  // "512 B", "83.0 KB", "1.5 MB", "2.00 GB"

}  // namespace kivo_ui::format
