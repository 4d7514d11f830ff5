// The whole window in one pass: modes and flaps, the regions, and every region drawn in order
// (later ones on top), recording the hit regions as it goes.
#pragma once

#include "views/view_context.h"

namespace chat {

// Steps the flaps, computes the regions into the state and draws everything.
void draw_window(ViewCtx& vc);

// The composer's text height for the layout: 15 px wrapped to max(content width − 48, 40).
float composer_text_height(ViewCtx& vc, float content_width);

}  // namespace chat
