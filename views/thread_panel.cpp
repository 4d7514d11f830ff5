#include "views/thread_panel.h"

namespace chat {

void draw_thread_panel(ViewCtx& /*vc*/, kivo_ui::Rect /*panel*/) {}

}  // namespace chat
