// ChatOperation: navigation requests and attachment import, carried as "chat.operation". They
// change the window's view state only (the import starts a background job); never the document.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "runtime/base/result.h"

namespace chat {

inline constexpr std::string_view kChatOperationName = "chat.operation";

namespace operation {
struct OpenWorkspace {
  std::string workspace;
  bool operator==(const OpenWorkspace&) const = default;
};
struct OpenChannel {
  std::string workspace, channel;
  bool operator==(const OpenChannel&) const = default;
};
struct OpenCategory {
  std::string workspace, category;
  bool operator==(const OpenCategory&) const = default;
};
struct RevealMessage {
  std::string workspace, channel, message;
  std::optional<std::string> parent;  // the thread to show it in
  bool operator==(const RevealMessage&) const = default;
};
struct OpenPerson {
  std::string user;
  bool operator==(const OpenPerson&) const = default;
};
struct ImportAttachment {
  std::string channel, path;
  bool operator==(const ImportAttachment&) const = default;
};
}  // namespace operation

using ChatOperation = std::variant<operation::OpenWorkspace, operation::OpenChannel, operation::OpenCategory,
                                   operation::RevealMessage, operation::OpenPerson, operation::ImportAttachment>;

std::string_view variant_name(const ChatOperation& op);
nlohmann::ordered_json to_json(const ChatOperation& op);  // {"Variant": {fields in order}}
std::string encode_chat_operation(const ChatOperation& op);
kivo::Result<ChatOperation> decode_chat_operation_json(const nlohmann::json& value);

// What parse_chat_operation found: not a chat operation at all, or the decoded one / its error.
struct NotChatOperation {};
using ParsedOperation = std::variant<NotChatOperation, kivo::Result<ChatOperation>>;
ParsedOperation parse_chat_operation(std::string_view action_name, const nlohmann::json& payload);

}  // namespace chat
