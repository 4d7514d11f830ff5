#include "views/composer.h"

namespace chat {

void draw_composer(ViewCtx& /*vc*/) {}

}  // namespace chat
