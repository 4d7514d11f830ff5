// The conversation header: sigil, name, topic, and the people and call pills.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_header_bar(ViewCtx& vc);

}  // namespace chat
