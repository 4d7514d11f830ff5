#include "runtime/actions/executor.h"

#include <chrono>

#include "runtime/actions/action_document.h"
#include "runtime/actions/action_transport.h"
#include "runtime/actions/typed_action_registry.h"

namespace kivo_actions::executor {
namespace {

int64_t unix_seconds() {
  using namespace std::chrono;
  auto s = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
  return s < 0 ? 0 : s;
}

ActionResult<DispatchOutcome> run(const TypedActionRegistry& registry, ActionDocument& document,
                                  ActionTransport& transport, const EncodedAction& action,
                                  const std::string& message) {
  if (action.operation_type != OperationType::Document)
    return ActionError{ActionError::Kind::Rejected,
                       std::string("\"") + action.name + "\" is a " + operation_type_name(action.operation_type) +
                           " action, not a document action"};
  auto decoded = registry.decode(action.name, action.payload);
  if (!decoded.ok()) return decoded.error();

  DispatchOutcome outcome;
  outcome.heads_before = document.heads();
  document.begin_transaction();
  auto applied = decoded.value()->apply(document);
  if (!applied.ok()) {
    document.rollback_transaction();
    return applied.error();
  }
  if (auto committed = document.commit_transaction(message, unix_seconds()); !committed.ok()) {
    document.rollback_transaction();
    return ActionError{ActionError::Kind::Rejected, committed.error().message};
  }
  outcome.heads_after = document.heads();
  outcome.changed = outcome.heads_after != outcome.heads_before;
  if (outcome.changed) {
    auto replicated = transport.replicate(document, outcome.heads_before);
    if (!replicated.ok()) return replicated.error();
  }
  return outcome;
}

}  // namespace

ActionResult<DispatchOutcome> dispatch_by(const TypedActionRegistry& registry, ActionDocument& document,
                                          ActionTransport& transport, const EncodedAction& action) {
  return run(registry, document, transport, action, action.name);
}

ActionResult<DispatchOutcome> dispatch_by_with_context(const TypedActionRegistry& registry, ActionDocument& document,
                                                       ActionTransport& transport, const EncodedAction& action,
                                                       const ActionContext& context) {
  return run(registry, document, transport, action, context.label.empty() ? action.name : context.label);
}

}  // namespace kivo_actions::executor
