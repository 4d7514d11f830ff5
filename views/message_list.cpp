#include "views/message_list.h"

namespace chat {

void draw_message_list(ViewCtx& /*vc*/) {}

}  // namespace chat
