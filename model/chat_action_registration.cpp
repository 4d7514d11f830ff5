#include "model/chat_action_registration.h"

#include "model/apply_chat_action.h"
#include "model/chat_action_json.h"
#include "model/doc_action_target.h"

namespace chat {

using kivo_actions::ActionDocument;
using kivo_actions::ActionError;
using kivo_actions::ActionResult;

namespace {

ActionResult<bool> apply_to(const ChatAction& action, ActionDocument& document) {
  auto* target = dynamic_cast<DocActionTarget*>(&document);
  if (!target)
    return ActionError{ActionError::Kind::Rejected, "chat.action runs only over a workspace document"};
  auto w = target->writer();
  if (!w) return ActionError{ActionError::Kind::Rejected, "chat.action needs an open transaction"};
  return apply_chat_action(*w, action, &target->message_index());
}

}  // namespace

void register_chat_action(kivo_actions::TypedActionRegistry& registry) {
  registry.register_typed(
      std::string(kChatActionName),
      [](const nlohmann::json& payload) -> ActionResult<std::unique_ptr<kivo_actions::TypedAction>> {
        auto decoded = decode_chat_action_json(payload);
        if (!decoded.ok()) return ActionError{ActionError::Kind::BadPayload, decoded.error().message};
        return std::unique_ptr<kivo_actions::TypedAction>(
            std::make_unique<kivo_actions::TypedActionOf<ChatAction>>(std::move(decoded).value(), apply_to));
      });
}

kivo_actions::EncodedAction encode_chat_action_as_encoded(const ChatAction& action) {
  return kivo_actions::EncodedAction{std::string(kChatActionName), nlohmann::json::parse(encode_chat_action(action)),
                                     kivo_actions::OperationType::Document};
}

}  // namespace chat
