#include "runtime/actions/action_spec.h"

namespace kivo_actions {

std::optional<std::string> ActionArgs::text(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

ActionArgs ActionArgs::with_text(std::string name, std::string value) {
  ActionArgs args;
  args.values.emplace(std::move(name), std::move(value));
  return args;
}

ActionSpec& ActionSpec::destructive() {
  is_destructive = true;
  return *this;
}

RiskLevel ActionSpec::risk_for(const ActionArgs& args) const {
  if (risk) return risk(args);
  return is_destructive ? RiskLevel::Destructive : RiskLevel::Safe;
}

namespace resource {

EncodedAction enforce_operation_type(EncodedAction action, const ActionSpec& declared) {
  action.operation_type = declared.operation_type;
  return action;
}

EncodedAction invoke(const ActionSpec& declared, const ActionArgs& args) {
  return enforce_operation_type(declared.encode(args), declared);
}

}  // namespace resource

const char* operation_type_name(OperationType type) {
  switch (type) {
    case OperationType::Document: return "document";
    case OperationType::Effect: return "effect";
    case OperationType::View: return "view";
  }
  return "document";
}

}  // namespace kivo_actions
