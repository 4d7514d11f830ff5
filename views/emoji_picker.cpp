#include "views/emoji_picker.h"

namespace chat {

void draw_emoji_picker(ViewCtx& /*vc*/) {}

}  // namespace chat
