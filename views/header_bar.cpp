#include "views/header_bar.h"

namespace chat {

void draw_header_bar(ViewCtx& /*vc*/) {}

}  // namespace chat
