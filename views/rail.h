// The workspace rail: the inbox button with its unread badge and the context workspace's tile.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_rail(ViewCtx& vc);

}  // namespace chat
