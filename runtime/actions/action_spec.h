// ActionSpec: one action a resource offers (id, label, optional text parameter, how to encode it).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "runtime/actions/encoded_action.h"

namespace kivo_actions {

// How careful a caller (a person, an agent) should be before invoking an action.
enum class RiskLevel : uint8_t { Safe, Caution, Destructive };

// The arguments of one invocation: parameter name to text.
struct ActionArgs {
  std::map<std::string, std::string> values;

  std::optional<std::string> text(const std::string& name) const;  // the parameter's text, or nothing
  static ActionArgs with_text(std::string name, std::string value);
};

// The single text parameter an action may take.
struct ActionParam {
  std::string name = "value";
  std::string label;    // e.g. "Message"
  std::string example;  // e.g. "Hello team"
};

struct ActionSpec {
  std::string id;                      // short action name on its resource: "open", "post", ...
  std::string label;                   // shown to people: "Open", "Post message", ...
  std::optional<ActionParam> param;    // at most one text parameter
  std::function<EncodedAction(const ActionArgs&)> encode;  // builds the action to dispatch
  std::function<RiskLevel(const ActionArgs&)> risk;        // absent means Safe
  OperationType operation_type = OperationType::Document;  // stamped on what `encode` builds
  bool mutates_document = false;       // marks actions that change the shared document
  bool is_destructive = false;

  ActionSpec& destructive();           // marks the action destructive (and its risk Destructive)
  RiskLevel risk_for(const ActionArgs& args) const;
};

namespace resource {
// Encodes an invocation of `declared` and stamps it with its declared operation type.
EncodedAction enforce_operation_type(EncodedAction action, const ActionSpec& declared);
EncodedAction invoke(const ActionSpec& declared, const ActionArgs& args);  // encode + stamp
}  // namespace resource

}  // namespace kivo_actions
