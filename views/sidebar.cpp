#include "views/sidebar.h"

namespace chat {

void draw_sidebar(ViewCtx& /*vc*/) {}

}  // namespace chat
