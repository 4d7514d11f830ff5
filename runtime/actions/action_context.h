// ActionContext: who asks for an action and what it is about, for logs, history and assistive output.
#pragma once

#include <string>
#include <string_view>

namespace kivo_actions {

struct ActionContext {
  std::string app_id;            // desktop application id
  std::string app_name;          // e.g. "Chat"
  std::string verb;              // e.g. "Send message"
  std::string label;             // e.g. "Send message"
  std::string resource_kind;     // e.g. "chat.message"
  std::string resource_address;  // e.g. "chat.message:m_1"
  std::string resource_label;    // e.g. "Message"

  // This context with every empty field filled from `host` (the dispatching host's own context).
  ActionContext enriched_by(const ActionContext& host) const;

  bool operator==(const ActionContext&) const = default;
};

namespace context {
// "SendMessage" -> "Send message", "set_call_state" -> "Set call state".
std::string humanize_identifier(std::string_view identifier);
}  // namespace context

}  // namespace kivo_actions
