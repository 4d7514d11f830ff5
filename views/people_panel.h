// The people panel: the shown workspace's people by presence, or the selected person.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_people_panel(ViewCtx& vc, kivo_ui::Rect panel);

}  // namespace chat
