// The main composer at the bottom of the content column, or the read-only strip when the user may not write.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_composer(ViewCtx& vc);

}  // namespace chat
