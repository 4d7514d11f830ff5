#include "model/agent_work_json.h"

#include "model/json_fields.h"

namespace chat {

using ojson = nlohmann::ordered_json;

ojson to_json(const AgentWorkState& state) {
  ojson j = ojson::object();
  std::visit(
      [&](const auto& s) {
        using T = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<T, work_state::Taken>) j["state"] = "taken";
        if constexpr (std::is_same_v<T, work_state::Waiting>) {
          j["state"] = "waiting";
          j["app"] = s.app;
        }
        if constexpr (std::is_same_v<T, work_state::Doing>) {
          j["state"] = "doing";
          j["did"] = s.did;
          j["about"] = s.about;
        }
        if constexpr (std::is_same_v<T, work_state::Done>) {
          j["state"] = "done";
          j["did"] = s.did;
        }
        if constexpr (std::is_same_v<T, work_state::Refused>) j["state"] = "refused";
      },
      state);
  return j;
}

ojson to_json(const AgentStepOutcome& outcome) {
  ojson j = ojson::object();
  std::visit(
      [&](const auto& o) {
        using T = std::decay_t<decltype(o)>;
        if constexpr (std::is_same_v<T, step_outcome::Asked>) j["outcome"] = "asked";
        if constexpr (std::is_same_v<T, step_outcome::Applied>) j["outcome"] = "applied";
        if constexpr (std::is_same_v<T, step_outcome::NoChange>) j["outcome"] = "no_change";
        if constexpr (std::is_same_v<T, step_outcome::Refused>) {
          j["outcome"] = "refused";
          j["why"] = o.why;
        }
      },
      outcome);
  return j;
}

ojson to_json(const std::optional<AgentReasoning>& reasoning) {
  if (!reasoning) return nullptr;
  ojson j = ojson::object();
  j["route"] = reasoning->route == AgentRoute::Floor ? "floor" : "model";
  j["why"] = reasoning->why;
  return j;
}

ojson to_json(const AgentStep& step) {
  ojson j = ojson::object();
  j["id"] = step.id;
  j["sequence"] = step.sequence;
  j["resource"] = step.resource;
  j["label"] = step.label;
  j["outcome"] = to_json(step.outcome);
  return j;
}

ojson to_json(const AgentWork& work) {
  ojson j = ojson::object();
  j["state"] = to_json(work.state);
  j["since"] = work.since;
  j["reasoning"] = to_json(work.reasoning);
  ojson trace = ojson::array();
  for (const auto& step : work.trace) trace.push_back(to_json(step));
  j["trace"] = std::move(trace);
  return j;
}

ojson to_json(const StoredAgentTransition& transition) {
  ojson j = ojson::object();
  j["state"] = to_json(transition.state);
  j["since"] = transition.since;
  return j;
}

kivo::Result<AgentWorkState> agent_state_from_json(const nlohmann::json& j) {
  KIVO_TRY_ASSIGN(f, JsonFields::of(j, "agent work state"));
  KIVO_TRY_ASSIGN(tag, f.text("state"));
  if (tag == "taken") return AgentWorkState{work_state::Taken{}};
  if (tag == "waiting") {
    KIVO_TRY_ASSIGN(app, f.text("app"));
    return AgentWorkState{work_state::Waiting{app}};
  }
  if (tag == "doing") {
    KIVO_TRY_ASSIGN(did, f.text("did"));
    KIVO_TRY_ASSIGN(about, f.text("about"));
    return AgentWorkState{work_state::Doing{did, about}};
  }
  if (tag == "done") {
    KIVO_TRY_ASSIGN(did, f.text("did"));
    return AgentWorkState{work_state::Done{did}};
  }
  if (tag == "refused") return AgentWorkState{work_state::Refused{}};
  return kivo::make_error("unknown agent work state \"" + tag + "\"");
}

kivo::Result<AgentStepOutcome> step_outcome_from_json(const nlohmann::json& j) {
  KIVO_TRY_ASSIGN(f, JsonFields::of(j, "agent step outcome"));
  KIVO_TRY_ASSIGN(tag, f.text("outcome"));
  if (tag == "asked") return AgentStepOutcome{step_outcome::Asked{}};
  if (tag == "applied") return AgentStepOutcome{step_outcome::Applied{}};
  if (tag == "no_change") return AgentStepOutcome{step_outcome::NoChange{}};
  if (tag == "refused") {
    KIVO_TRY_ASSIGN(why, f.text("why"));
    return AgentStepOutcome{step_outcome::Refused{why}};
  }
  return kivo::make_error("unknown agent step outcome \"" + tag + "\"");
}

kivo::Result<std::optional<AgentReasoning>> reasoning_from_json(const nlohmann::json& j) {
  if (j.is_null()) return std::optional<AgentReasoning>();
  KIVO_TRY_ASSIGN(f, JsonFields::of(j, "agent reasoning"));
  KIVO_TRY_ASSIGN(route, f.text("route"));
  AgentReasoning r;
  if (route == "model") r.route = AgentRoute::Model;
  else if (route == "floor") r.route = AgentRoute::Floor;
  else return kivo::make_error("unknown agent route \"" + route + "\"");
  KIVO_TRY_ASSIGN(why, f.text_or_empty("why"));
  r.why = why;
  return std::optional<AgentReasoning>(r);
}

kivo::Result<AgentStep> agent_step_from_json(const nlohmann::json& j) {
  KIVO_TRY_ASSIGN(f, JsonFields::of(j, "agent step"));
  AgentStep step;
  KIVO_TRY_ASSIGN(id, f.text_or_empty("id"));
  KIVO_TRY_ASSIGN(sequence, f.u64_or_zero("sequence"));
  KIVO_TRY_ASSIGN(resource, f.text("resource"));
  KIVO_TRY_ASSIGN(label, f.text("label"));
  KIVO_TRY_ASSIGN(outcome_json, f.required("outcome"));
  KIVO_TRY_ASSIGN(outcome, step_outcome_from_json(*outcome_json));
  step.id = id;
  step.sequence = sequence;
  step.resource = resource;
  step.label = label;
  step.outcome = outcome;
  return step;
}

kivo::Result<AgentWork> agent_work_from_json(const nlohmann::json& j) {
  KIVO_TRY_ASSIGN(f, JsonFields::of(j, "agent work"));
  AgentWork work;
  KIVO_TRY_ASSIGN(state_json, f.required("state"));
  KIVO_TRY_ASSIGN(state, agent_state_from_json(*state_json));
  work.state = state;
  KIVO_TRY_ASSIGN(since, f.i64("since"));
  work.since = since;
  if (const auto* r = f.find("reasoning")) {
    KIVO_TRY_ASSIGN(reasoning, reasoning_from_json(*r));
    work.reasoning = reasoning;
  }
  if (const auto* t = f.find("trace")) {
    if (!t->is_array()) return f.wrong_type("trace", "an array", *t);
    for (const auto& s : *t) {
      KIVO_TRY_ASSIGN(step, agent_step_from_json(s));
      work.trace.push_back(std::move(step));
    }
  }
  return work;
}

kivo::Result<StoredAgentTransition> transition_from_json(const nlohmann::json& j) {
  KIVO_TRY_ASSIGN(f, JsonFields::of(j, "agent work transition"));
  KIVO_TRY_ASSIGN(state_json, f.required("state"));
  KIVO_TRY_ASSIGN(state, agent_state_from_json(*state_json));
  KIVO_TRY_ASSIGN(since, f.i64("since"));
  return StoredAgentTransition{state, since};
}

}  // namespace chat
