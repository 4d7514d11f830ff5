// The attachment panel: the files offered for import, and its status text.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_attachment_panel(ViewCtx& vc);

}  // namespace chat
