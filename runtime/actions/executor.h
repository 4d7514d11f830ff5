// The executor: decodes an encoded action through the registry and runs it over the document in
// one transaction, then hands the change to the transport.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/actions/action_context.h"
#include "runtime/actions/action_error.h"
#include "runtime/actions/encoded_action.h"

namespace kivo_actions {

class ActionDocument;
class ActionTransport;
class TypedActionRegistry;

struct DispatchOutcome {
  std::vector<std::string> heads_before;  // heads noted before the action ran
  std::vector<std::string> heads_after;
  bool changed = false;                   // the action committed a change
};

namespace executor {

// Runs `action` over `document`; success means the action is applied (possibly without effect).
ActionResult<DispatchOutcome> dispatch_by(const TypedActionRegistry& registry, ActionDocument& document,
                                          ActionTransport& transport, const EncodedAction& action);

// As dispatch_by, with the context that describes the action (its label becomes the change message).
ActionResult<DispatchOutcome> dispatch_by_with_context(const TypedActionRegistry& registry, ActionDocument& document,
                                                       ActionTransport& transport, const EncodedAction& action,
                                                       const ActionContext& context);

}  // namespace executor
}  // namespace kivo_actions
