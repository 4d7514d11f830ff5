#include "views/people_panel.h"

namespace chat {

void draw_people_panel(ViewCtx& /*vc*/, kivo_ui::Rect /*panel*/) {}

}  // namespace chat
