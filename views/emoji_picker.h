// The emoji picker, anchored where it was opened: the frequent reactions and four groups of emoji.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_emoji_picker(ViewCtx& vc);

}  // namespace chat
