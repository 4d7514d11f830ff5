#include "app/chat_app.h"

namespace chat {

void ChatApp::draw(kivo_ui::WidgetContext&, kivo_ui::Canvas& canvas) { canvas.clear(canvas.theme().window_bg); }

}  // namespace chat
