#include "model/agent_work_store.h"

#include <algorithm>

#include "model/agent_work_json.h"

namespace chat {

using kivo::doc::ObjType;

namespace {

std::optional<nlohmann::json> parse_lenient(const std::string& text) {
  auto j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_discarded()) return std::nullopt;
  return j;
}

template <typename T>
std::optional<T> parse_stored(const std::optional<std::string>& text,
                              kivo::Result<T> (*decode)(const nlohmann::json&)) {
  if (!text) return std::nullopt;
  auto j = parse_lenient(*text);
  if (!j) return std::nullopt;
  auto decoded = decode(*j);
  if (!decoded.ok()) return std::nullopt;
  return std::move(decoded).value();
}

bool is_legacy_step_key(const std::string& key) {
  return key.size() == 8 && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The older form: a "state" map with "kind" and the variant's fields, "since" beside it.
std::optional<StoredAgentTransition> read_legacy_transition(const Document& doc, ObjId work) {
  auto state = get_map(doc, work, "state");
  if (!state) return std::nullopt;
  auto kind = string_or_empty(doc, *state, "kind");
  StoredAgentTransition t;
  if (kind == "taken") t.state = work_state::Taken{};
  else if (kind == "waiting") t.state = work_state::Waiting{string_or_empty(doc, *state, "app")};
  else if (kind == "doing")
    t.state = work_state::Doing{string_or_empty(doc, *state, "did"), string_or_empty(doc, *state, "about")};
  else if (kind == "done") t.state = work_state::Done{string_or_empty(doc, *state, "did")};
  else if (kind == "refused") t.state = work_state::Refused{};
  else return std::nullopt;
  t.since = int_or_zero(doc, work, "since");
  return t;
}

std::optional<AgentReasoning> read_reasoning(const Document& doc, ObjId work) {
  if (auto map = get_map(doc, work, "reasoning")) {
    if (!bool_or_false(doc, *map, "present")) return std::nullopt;
    auto route = string_or_empty(doc, *map, "route");
    AgentReasoning r;
    if (route == "model") r.route = AgentRoute::Model;
    else if (route == "floor") r.route = AgentRoute::Floor;
    else return std::nullopt;
    r.why = string_or_empty(doc, *map, "why");
    return r;
  }
  auto parsed = parse_stored(read_string(doc, work, "reasoning"), reasoning_from_json);
  return parsed ? *parsed : std::nullopt;
}

std::optional<AgentStepOutcome> read_outcome(const Document& doc, ObjId step) {
  auto text = read_string(doc, step, "outcome");
  if (!text) return std::nullopt;
  if (auto parsed = parse_stored(text, step_outcome_from_json)) return parsed;
  if (*text == "asked") return step_outcome::Asked{};
  if (*text == "applied") return step_outcome::Applied{};
  if (*text == "no_change") return step_outcome::NoChange{};
  if (*text == "refused") return step_outcome::Refused{string_or_empty(doc, step, "why")};
  return std::nullopt;
}

std::vector<AgentStep> read_trace(const Document& doc, ObjId work) {
  std::vector<AgentStep> steps;
  auto trace = get_map(doc, work, "trace");
  if (!trace) return steps;
  doc.for_each_entry(*trace, [&](const std::string& k, const kivo::doc::Value& value) {
    auto step = as_map(value);
    if (!step || !bool_or_false(doc, *step, "present")) return;
    auto outcome = read_outcome(doc, *step);
    if (!outcome) return;
    AgentStep s;
    s.id = is_legacy_step_key(k) ? "legacy_step_" + k : k;
    int64_t sequence = int_or_zero(doc, *step, "sequence");
    s.sequence = sequence < 0 ? 0 : static_cast<uint64_t>(sequence);
    s.resource = string_or_empty(doc, *step, "resource");
    s.label = string_or_empty(doc, *step, "label");
    s.outcome = *outcome;
    steps.push_back(std::move(s));
  });
  std::stable_sort(steps.begin(), steps.end(), [](const AgentStep& a, const AgentStep& b) {
    if (a.sequence != b.sequence) return a.sequence < b.sequence;
    return a.id < b.id;
  });
  return steps;
}

}  // namespace

std::optional<AgentWork> read_work(const Document& doc, ObjId message) {
  auto value = doc.get(message, "work");
  if (!value) return std::nullopt;
  if (const auto* s = value->as_string()) return parse_stored(std::optional<std::string>(*s), agent_work_from_json);
  auto work = as_map(*value);
  if (!work) return std::nullopt;

  auto transition = parse_stored(read_string(doc, *work, "transition"), transition_from_json);
  if (!transition) transition = read_legacy_transition(doc, *work);
  if (!transition) return std::nullopt;

  AgentWork out;
  out.state = transition->state;
  out.since = transition->since;
  out.reasoning = read_reasoning(doc, *work);
  out.trace = read_trace(doc, *work);
  return out;
}

void write_work(DocWrite w, ObjId message, const std::optional<AgentWork>& current, const AgentWork& next) {
  ObjId work = ensure_map(w, message, "work");
  if (!current || current->since != next.since || current->state != next.state)
    put_str(w, work, "transition", to_json(StoredAgentTransition{next.state, next.since}).dump());
  if (!current || current->reasoning != next.reasoning) put_str(w, work, "reasoning", to_json(next.reasoning).dump());

  ObjId trace = ensure_map(w, work, "trace");
  auto current_step = [&](const std::string& id) -> const AgentStep* {
    if (!current) return nullptr;
    for (const auto& s : current->trace)
      if (s.id == id) return &s;
    return nullptr;
  };
  for (const auto& step : next.trace) {
    if (step.id.empty()) continue;
    const AgentStep* known = current_step(step.id);
    if (known && *known == step) continue;
    bool existed = get_map(w.doc, trace, step.id).has_value();
    ObjId map = ensure_map(w, trace, step.id);
    put_bool(w, map, "present", true);
    if (!existed) {
      put_int(w, map, "sequence", static_cast<int64_t>(step.sequence));
      put_str(w, map, "resource", step.resource);
      put_str(w, map, "label", step.label);
    }
    if (!existed || !known || known->outcome != step.outcome)
      put_str(w, map, "outcome", to_json(step.outcome).dump());
  }

  // Steps of the older form (8-digit keys) are hidden once the work is written in the current form.
  for (const auto& k : w.doc.keys(trace)) {
    if (!is_legacy_step_key(k)) continue;
    if (auto map = get_map(w.doc, trace, k)) put_bool_if_changed(w, *map, "present", false);
  }
}

}  // namespace chat
