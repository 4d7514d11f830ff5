// ChatAction: the closed set of changes to the workspace document. Every change after seeding is one
// of these, applied by apply_chat_action; field names are also the JSON keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/chat_records.h"

namespace chat {
namespace action {

struct SendMessage {
  std::string channel, id, author;
  int64_t ts = 0;
  std::string text;
  std::optional<std::string> parent;
  std::optional<Attachment> attachment;
  std::vector<Mention> mentions;
  std::optional<kivo_actions::ResourceRef> reference;
  bool operator==(const SendMessage&) const = default;
};
struct EditMessage {
  std::string channel, id, text;
  int64_t ts = 0;
  bool operator==(const EditMessage&) const = default;
};
struct DeleteMessage {
  std::string channel, id;
  bool operator==(const DeleteMessage&) const = default;
};
struct AddReaction {
  std::string channel, msg, emoji, user;
  bool operator==(const AddReaction&) const = default;
};
struct RemoveReaction {
  std::string channel, msg, emoji, user;
  bool operator==(const RemoveReaction&) const = default;
};
struct PinMessage {
  std::string channel, msg;
  bool pinned = false;
  bool operator==(const PinMessage&) const = default;
};
struct CreateChannel {
  std::string workspace, category, id, name;
  ChannelKind kind = ChannelKind::Text;
  bool operator==(const CreateChannel&) const = default;
};
struct CreateCategory {
  std::string workspace, id, name;
  bool operator==(const CreateCategory&) const = default;
};
struct RenameCategory {
  std::string id, name;
  bool operator==(const RenameCategory&) const = default;
};
struct DeleteCategory {
  std::string id;
  bool operator==(const DeleteCategory&) const = default;
};
struct SetCategoryCollapsed {
  std::string id;
  bool collapsed = false;
  bool operator==(const SetCategoryCollapsed&) const = default;
};
struct ReorderChannel {
  std::string id;
  bool up = false;
  bool operator==(const ReorderChannel&) const = default;
};
struct RenameChannel {
  std::string id, name;
  bool operator==(const RenameChannel&) const = default;
};
struct DeleteChannel {
  std::string id;
  bool operator==(const DeleteChannel&) const = default;
};
struct ArchiveChannel {
  std::string id;
  bool archived = false;
  bool operator==(const ArchiveChannel&) const = default;
};
struct MarkRead {
  std::string channel, user;
  int64_t count = 0;
  bool operator==(const MarkRead&) const = default;
};
struct SetAgentWork {
  std::string channel, msg;
  AgentWork work;
  std::optional<std::string> say;  // put into the message when its text is still empty
  bool operator==(const SetAgentWork&) const = default;
};
struct JoinCall {
  std::string channel, user;
  bool operator==(const JoinCall&) const = default;
};
struct LeaveCall {
  std::string channel, user;
  bool operator==(const LeaveCall&) const = default;
};
struct SetCallState {
  std::string channel, user;
  bool talking = false, muted = false, deafened = false, audio_only = false;
  bool operator==(const SetCallState&) const = default;
};
struct SetScreenShare {
  std::string channel, user;
  bool sharing = false;
  bool operator==(const SetScreenShare&) const = default;
};
struct SetCallTicket {
  std::string channel, user, ticket;
  bool operator==(const SetCallTicket&) const = default;
};

}  // namespace action

using ChatAction =
    std::variant<action::SendMessage, action::EditMessage, action::DeleteMessage, action::AddReaction,
                 action::RemoveReaction, action::PinMessage, action::CreateChannel, action::CreateCategory,
                 action::RenameCategory, action::DeleteCategory, action::SetCategoryCollapsed, action::ReorderChannel,
                 action::RenameChannel, action::DeleteChannel, action::ArchiveChannel, action::MarkRead,
                 action::SetAgentWork, action::JoinCall, action::LeaveCall, action::SetCallState,
                 action::SetScreenShare, action::SetCallTicket>;

std::string_view chat_action_name(const ChatAction& action);  // the variant name, e.g. "SendMessage"

}  // namespace chat
