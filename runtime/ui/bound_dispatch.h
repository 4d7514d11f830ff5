// The toolkit's action host: runs typed actions over the document through the action framework
// and keeps a bounded record of what succeeded (with its context) for the application to take.
// A failed dispatch is logged as "action dispatch failed: <error>" and returned to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/actions/action_context.h"
#include "runtime/actions/action_error.h"
#include "runtime/actions/encoded_action.h"
#include "runtime/actions/executor.h"

namespace kivo_actions {
class ActionDocument;
class ActionTransport;
class TypedActionRegistry;
}  // namespace kivo_actions

namespace kivo_ui::bound_dispatch {

// One typed action that was applied.
struct ReportedAction {
  kivo_actions::EncodedAction action;
  std::optional<kivo_actions::ActionContext> context;  // as dispatched, filled from the host's context
  std::vector<std::string> heads_before;                // document heads before the action
  std::vector<std::string> heads_after;
  bool changed = false;                                  // the action committed a change
};

// Lives as long as the window; used on the UI thread only.
class ActionHost {
public:
  static constexpr size_t kDefaultCapacity = 256;

  // `host_context` fills the empty fields of every dispatched context (application id and name).
  explicit ActionHost(kivo_actions::ActionContext host_context = {}, size_t capacity = kDefaultCapacity);

  // Where diagnostic lines go; standard error unless replaced.
  void set_log(std::function<void(std::string_view line)> log);

  // Notes the document heads before a typed action runs.
  void typed_action_before(const kivo_actions::ActionDocument& document);
  // Records a successful typed action; heads noted by typed_action_before take precedence.
  void report_typed_action(const kivo_actions::EncodedAction& action,
                           const std::optional<kivo_actions::ActionContext>& context,
                           const kivo_actions::DispatchOutcome& outcome);
  // Logs "action dispatch failed: <error>" and forgets the noted heads.
  void report_dispatch_failure(const kivo_actions::ActionError& error);

  // typed_action_before, executor::dispatch_by (or dispatch_by_with_context when a context is
  // given), then report_typed_action or report_dispatch_failure.
  kivo_actions::ActionResult<kivo_actions::DispatchOutcome> dispatch_typed(
      const kivo_actions::TypedActionRegistry& registry, kivo_actions::ActionDocument& document,
      kivo_actions::ActionTransport& transport, const kivo_actions::EncodedAction& action,
      const std::optional<kivo_actions::ActionContext>& context = std::nullopt);

  std::vector<ReportedAction> take_reported();  // oldest first; empties the record
  size_t reported_count() const { return m_reported.size(); }
  uint64_t dropped() const { return m_dropped; }    // records pushed out because the record was full
  uint64_t failures() const { return m_failures; }  // failed dispatches so far

private:
  kivo_actions::ActionContext m_host_context;
  size_t m_capacity;
  std::function<void(std::string_view)> m_log;
  std::optional<std::vector<std::string>> m_heads_before;
  std::deque<ReportedAction> m_reported;
  uint64_t m_dropped = 0;
  uint64_t m_failures = 0;
};

}  // namespace kivo_ui::bound_dispatch
