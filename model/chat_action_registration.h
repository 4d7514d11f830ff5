// The typed action "chat.action": its payload decodes into a ChatAction, which is applied to the
// workspace document behind a DocActionTarget.
#pragma once

#include <string_view>

#include "model/chat_action.h"
#include "runtime/actions/encoded_action.h"
#include "runtime/actions/typed_action_registry.h"

namespace chat {

inline constexpr std::string_view kChatActionName = "chat.action";

void register_chat_action(kivo_actions::TypedActionRegistry& registry);
kivo_actions::EncodedAction encode_chat_action_as_encoded(const ChatAction& action);  // "chat.action" + JSON

}  // namespace chat
