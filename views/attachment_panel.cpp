#include "views/attachment_panel.h"

namespace chat {

void draw_attachment_panel(ViewCtx& /*vc*/) {}

}  // namespace chat
