#include "views/rail.h"

namespace chat {

void draw_rail(ViewCtx& /*vc*/) {}

}  // namespace chat
