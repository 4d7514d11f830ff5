#include "actions/describe_chat_action.h"


namespace chat {

namespace {

// The label, the resource kind and the resource's id of one chat action.
struct Subject {
  std::string_view label, kind;
  const std::string& id;
};

Subject subject_of(const ChatAction& action) {
  using namespace action;
  return std::visit(
      [](const auto& a) -> Subject {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<T, SendMessage>) return {"Send message", "chat.message", a.id};
        else if constexpr (std::is_same_v<T, EditMessage>) return {"Edit message", "chat.message", a.id};
        else if constexpr (std::is_same_v<T, DeleteMessage>) return {"Delete message", "chat.message", a.id};
        else if constexpr (std::is_same_v<T, AddReaction>) return {"Add reaction", "chat.message", a.msg};
        else if constexpr (std::is_same_v<T, RemoveReaction>) return {"Remove reaction", "chat.message", a.msg};
        else if constexpr (std::is_same_v<T, PinMessage>)
          return {a.pinned ? "Pin message" : "Unpin message", "chat.message", a.msg};
        else if constexpr (std::is_same_v<T, CreateChannel>) return {"Create channel", "chat.channel", a.id};
        else if constexpr (std::is_same_v<T, CreateCategory>) return {"Create category", "chat.category", a.id};
        else if constexpr (std::is_same_v<T, RenameCategory>) return {"Rename category", "chat.category", a.id};
        else if constexpr (std::is_same_v<T, DeleteCategory>) return {"Delete category", "chat.category", a.id};
        else if constexpr (std::is_same_v<T, SetCategoryCollapsed>)
          return {a.collapsed ? "Collapse category" : "Expand category", "chat.category", a.id};
        else if constexpr (std::is_same_v<T, ReorderChannel>)
          return {a.up ? "Move channel up" : "Move channel down", "chat.channel", a.id};
        else if constexpr (std::is_same_v<T, RenameChannel>) return {"Rename channel", "chat.channel", a.id};
        else if constexpr (std::is_same_v<T, DeleteChannel>) return {"Delete channel", "chat.channel", a.id};
        else if constexpr (std::is_same_v<T, ArchiveChannel>)
          return {a.archived ? "Archive channel" : "Unarchive channel", "chat.channel", a.id};
        else if constexpr (std::is_same_v<T, MarkRead>) return {"Mark channel read", "chat.channel", a.channel};
        else if constexpr (std::is_same_v<T, SetAgentWork>) return {"Update agent work", "chat.message", a.msg};
        else if constexpr (std::is_same_v<T, JoinCall>) return {"Join call", "chat.call", a.channel};
        else if constexpr (std::is_same_v<T, LeaveCall>) return {"Leave call", "chat.call", a.channel};
        else if constexpr (std::is_same_v<T, SetCallState>) return {"Update call state", "chat.call", a.channel};
        else if constexpr (std::is_same_v<T, SetScreenShare>)
          return {a.sharing ? "Start presenting" : "Stop presenting", "chat.call", a.channel};
        else return {"Update call connection", "chat.call", a.channel};
      },
      action);
}

}  // namespace

kivo_actions::ActionContext describe_chat_action(const ChatAction& action) {
  Subject s = subject_of(action);
  kivo_actions::ActionContext c;
  c.app_id = std::string(kAppId);
  c.app_name = std::string(kChatAppName);
  // The encoded payload of a chat action is always an object with exactly one key, its variant.
  c.verb = kivo_actions::context::humanize_identifier(chat_action_name(action));
  c.label = std::string(s.label);
  c.resource_kind = std::string(s.kind);
  c.resource_address = c.resource_kind + ":" + s.id;
  c.resource_label = s.kind == "chat.message" ? "Message" : s.id;
  return c;
}

}  // namespace chat
