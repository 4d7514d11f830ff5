// Screenshot mode: puts a fresh application object into a named view state and renders one frame.
#pragma once

#include <string_view>

#include "app/chat_app.h"
#include "runtime/ui/launch.h"

namespace chat {

void apply_scenario(ChatApp& app, std::string_view name);  // unknown or empty: the default view
kivo::Status render_screenshot(const kivo_ui::launch::ScreenshotRequest& request);

}  // namespace chat
