// The thread panel: the open thread's parent, its replies and the thread composer.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_thread_panel(ViewCtx& vc, kivo_ui::Rect panel);

}  // namespace chat
