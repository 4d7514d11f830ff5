#include "runtime/actions/typed_action_registry.h"

namespace kivo_actions {

void TypedActionRegistry::register_typed(const std::string& name, TypedActionDecoder decoder) {
  m_decoders.insert_or_assign(name, std::move(decoder));
}

bool TypedActionRegistry::contains(const std::string& name) const { return m_decoders.count(name) != 0; }

ActionResult<std::unique_ptr<TypedAction>> TypedActionRegistry::decode(const std::string& name,
                                                                       const nlohmann::json& payload) const {
  auto it = m_decoders.find(name);
  if (it == m_decoders.end())
    return ActionError{ActionError::Kind::UnknownAction, "unknown action \"" + name + "\""};
  auto decoded = it->second(payload);
  if (!decoded.ok()) {
    ActionError error = decoded.error();
    error.kind = ActionError::Kind::BadPayload;
    if (error.message.empty()) error.message = "payload of \"" + name + "\" does not decode";
    return error;
  }
  if (!decoded.value())
    return ActionError{ActionError::Kind::BadPayload, "payload of \"" + name + "\" does not decode"};
  return std::move(decoded.value());
}

}  // namespace kivo_actions
