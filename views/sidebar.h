// The sidebar: the inbox's conversations, or the shown workspace's categories and channels, with renaming and the identity footer.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_sidebar(ViewCtx& vc);

}  // namespace chat
