// The edit-history panel of a message: its earlier texts, newest first.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_edit_history(ViewCtx& vc);

}  // namespace chat
