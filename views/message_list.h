// The message list: grouped rows, day label, edits, attachments, reactions, thread cards, the jump button; or the empty-conversation view.
#pragma once

#include "views/view_context.h"

namespace chat {

void draw_message_list(ViewCtx& vc);

}  // namespace chat
