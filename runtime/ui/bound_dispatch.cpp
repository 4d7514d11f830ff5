#include "runtime/ui/bound_dispatch.h"

#include <iostream>

#include "runtime/actions/action_document.h"
#include "runtime/actions/action_transport.h"
#include "runtime/actions/typed_action_registry.h"

namespace kivo_ui::bound_dispatch {

ActionHost::ActionHost(kivo_actions::ActionContext host_context, size_t capacity)
    : m_host_context(std::move(host_context)), m_capacity(capacity == 0 ? 1 : capacity) {
  m_log = [](std::string_view line) { std::cerr << line << "\n"; };
}

void ActionHost::set_log(std::function<void(std::string_view)> log) { m_log = std::move(log); }

void ActionHost::typed_action_before(const kivo_actions::ActionDocument& document) {
  m_heads_before = document.heads();
}

void ActionHost::report_typed_action(const kivo_actions::EncodedAction& action,
                                     const std::optional<kivo_actions::ActionContext>& context,
                                     const kivo_actions::DispatchOutcome& outcome) {
  ReportedAction report;
  report.action = action;
  if (context) report.context = context->enriched_by(m_host_context);
  report.heads_before = m_heads_before ? std::move(*m_heads_before) : outcome.heads_before;
  report.heads_after = outcome.heads_after;
  report.changed = outcome.changed;
  m_heads_before.reset();
  if (m_reported.size() >= m_capacity) {
    m_reported.pop_front();
    ++m_dropped;
  }
  m_reported.push_back(std::move(report));
}

void ActionHost::report_dispatch_failure(const kivo_actions::ActionError& error) {
  m_heads_before.reset();
  ++m_failures;
  if (m_log) m_log("action dispatch failed: " + error.display());
}

kivo_actions::ActionResult<kivo_actions::DispatchOutcome> ActionHost::dispatch_typed(
    const kivo_actions::TypedActionRegistry& registry, kivo_actions::ActionDocument& document,
    kivo_actions::ActionTransport& transport, const kivo_actions::EncodedAction& action,
    const std::optional<kivo_actions::ActionContext>& context) {
  typed_action_before(document);
  std::optional<kivo_actions::ActionContext> enriched;
  if (context) enriched = context->enriched_by(m_host_context);
  auto result = enriched ? kivo_actions::executor::dispatch_by_with_context(registry, document, transport, action,
                                                                             *enriched)
                         : kivo_actions::executor::dispatch_by(registry, document, transport, action);
  if (result.ok())
    report_typed_action(action, enriched, result.value());
  else
    report_dispatch_failure(result.error());
  return result;
}

std::vector<ReportedAction> ActionHost::take_reported() {
  std::vector<ReportedAction> out(std::make_move_iterator(m_reported.begin()),
                                  std::make_move_iterator(m_reported.end()));
  m_reported.clear();
  return out;
}

}  // namespace kivo_ui::bound_dispatch
