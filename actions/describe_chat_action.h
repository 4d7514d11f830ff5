// The action context that accompanies every chat action the application dispatches: what the
// change is called and which resource it is about.
#pragma once

#include "model/chat_action.h"
#include "runtime/actions/action_context.h"

namespace chat {

inline constexpr std::string_view kAppId = "chat.kivo.ui";  // desktop application id, reverse DNS
inline constexpr std::string_view kChatAppName = "Chat";

kivo_actions::ActionContext describe_chat_action(const ChatAction& action);

}  // namespace chat
