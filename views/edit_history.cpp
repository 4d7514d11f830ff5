#include "views/edit_history.h"

namespace chat {

void draw_edit_history(ViewCtx& /*vc*/) {}

}  // namespace chat
