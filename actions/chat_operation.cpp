#include "actions/chat_operation.h"

#include "model/json_fields.h"

namespace chat {

namespace {

template <typename T>
constexpr std::string_view name_of();
template <> constexpr std::string_view name_of<operation::OpenWorkspace>() { return "OpenWorkspace"; }
template <> constexpr std::string_view name_of<operation::OpenChannel>() { return "OpenChannel"; }
template <> constexpr std::string_view name_of<operation::OpenCategory>() { return "OpenCategory"; }
template <> constexpr std::string_view name_of<operation::RevealMessage>() { return "RevealMessage"; }
template <> constexpr std::string_view name_of<operation::OpenPerson>() { return "OpenPerson"; }
template <> constexpr std::string_view name_of<operation::ImportAttachment>() { return "ImportAttachment"; }

nlohmann::ordered_json fields(const operation::OpenWorkspace& o) { return {{"workspace", o.workspace}}; }
nlohmann::ordered_json fields(const operation::OpenChannel& o) {
  return {{"workspace", o.workspace}, {"channel", o.channel}};
}
nlohmann::ordered_json fields(const operation::OpenCategory& o) {
  return {{"workspace", o.workspace}, {"category", o.category}};
}
nlohmann::ordered_json fields(const operation::RevealMessage& o) {
  nlohmann::ordered_json j{{"workspace", o.workspace}, {"channel", o.channel}, {"message", o.message}};
  j["parent"] = o.parent ? nlohmann::ordered_json(*o.parent) : nlohmann::ordered_json(nullptr);
  return j;
}
nlohmann::ordered_json fields(const operation::OpenPerson& o) { return {{"user", o.user}}; }
nlohmann::ordered_json fields(const operation::ImportAttachment& o) {
  return {{"channel", o.channel}, {"path", o.path}};
}

kivo::Result<ChatOperation> decode_body(std::string_view name, const JsonFields& f) {
  if (name == "OpenWorkspace") {
    KIVO_TRY_ASSIGN(workspace, f.text("workspace"));
    return ChatOperation{operation::OpenWorkspace{std::move(workspace)}};
  }
  if (name == "OpenChannel") {
    KIVO_TRY_ASSIGN(workspace, f.text("workspace"));
    KIVO_TRY_ASSIGN(channel, f.text("channel"));
    return ChatOperation{operation::OpenChannel{std::move(workspace), std::move(channel)}};
  }
  if (name == "OpenCategory") {
    KIVO_TRY_ASSIGN(workspace, f.text("workspace"));
    KIVO_TRY_ASSIGN(category, f.text("category"));
    return ChatOperation{operation::OpenCategory{std::move(workspace), std::move(category)}};
  }
  if (name == "RevealMessage") {
    KIVO_TRY_ASSIGN(workspace, f.text("workspace"));
    KIVO_TRY_ASSIGN(channel, f.text("channel"));
    KIVO_TRY_ASSIGN(message, f.text("message"));
    KIVO_TRY_ASSIGN(parent, f.optional_text("parent"));
    return ChatOperation{
        operation::RevealMessage{std::move(workspace), std::move(channel), std::move(message), std::move(parent)}};
  }
  if (name == "OpenPerson") {
    KIVO_TRY_ASSIGN(user, f.text("user"));
    return ChatOperation{operation::OpenPerson{std::move(user)}};
  }
  if (name == "ImportAttachment") {
    KIVO_TRY_ASSIGN(channel, f.text("channel"));
    KIVO_TRY_ASSIGN(path, f.text("path"));
    return ChatOperation{operation::ImportAttachment{std::move(channel), std::move(path)}};
  }
  return kivo::make_error("unknown chat operation \"" + std::string(name) + "\"");
}

}  // namespace

std::string_view variant_name(const ChatOperation& op) {
  return std::visit([](const auto& o) { return name_of<std::decay_t<decltype(o)>>(); }, op);
}

nlohmann::ordered_json to_json(const ChatOperation& op) {
  return std::visit(
      [](const auto& o) {
        nlohmann::ordered_json j;
        j[std::string(name_of<std::decay_t<decltype(o)>>())] = fields(o);
        return j;
      },
      op);
}

std::string encode_chat_operation(const ChatOperation& op) { return to_json(op).dump(); }

kivo::Result<ChatOperation> decode_chat_operation_json(const nlohmann::json& value) {
  KIVO_TRY_ASSIGN(variant, json_variant(value, "chat operation"));
  KIVO_TRY_ASSIGN(body, JsonFields::of(*variant.body, variant.name));
  return decode_body(variant.name, body);
}

ParsedOperation parse_chat_operation(std::string_view action_name, const nlohmann::json& payload) {
  if (action_name != kChatOperationName) return NotChatOperation{};
  return decode_chat_operation_json(payload);
}

}  // namespace chat
