// The launch descriptor of Kivo Chat: its hooks and the fixed values handed to the toolkit.
#pragma once

#include <array>
#include <string_view>

#include "actions/describe_chat_action.h"
#include "runtime/ui/launch.h"

namespace chat {

// The screenshot scenarios, in the order the toolkit lists them.
inline constexpr std::array<std::string_view, 21> kScreenshotScenarios = {
    "narrow", "history", "compact", "starter", "people", "thread-narrow", "collaboration",
    "context", "msgmenu", "attach", "attach-loading", "attach-error", "edit", "composer",
    "call", "share", "floating-call-attached", "floating-call", "floating-call-hover",
    "floating-call-returning", "floating-call-returned"};

kivo_ui::Size default_window_size();  // 1280 × 800
std::unique_ptr<kivo_ui::Widget> create_app();
void register_actions(kivo_ui::app::App& app);
kivo::Result<kivo_ui::persist::Handle> open_persistence(const kivo_ui::persist::Request& request);
kivo::Result<kivo_ui::persist::Handle> open_persistence_in(const kivo_ui::persist::Request& request,
                                                          const std::optional<std::filesystem::path>& data_dir);

kivo_ui::launch::LaunchDescriptor make_launch_descriptor();

}  // namespace chat
