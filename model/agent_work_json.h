// The JSON form of agent work: states and step outcomes tagged by "state" / "outcome", reasoning,
// steps, the whole record, and the stored transition {"state", "since"}.
#pragma once

#include <nlohmann/json.hpp>

#include "model/agent_work.h"
#include "runtime/base/result.h"

namespace chat {

struct StoredAgentTransition {
  AgentWorkState state;
  int64_t since = 0;
  bool operator==(const StoredAgentTransition&) const = default;
};

nlohmann::ordered_json to_json(const AgentWorkState& state);
nlohmann::ordered_json to_json(const AgentStepOutcome& outcome);
nlohmann::ordered_json to_json(const std::optional<AgentReasoning>& reasoning);  // null when none
nlohmann::ordered_json to_json(const AgentStep& step);
nlohmann::ordered_json to_json(const AgentWork& work);
nlohmann::ordered_json to_json(const StoredAgentTransition& transition);

// Strict decoders: a missing required field or an unknown tag is an error.
kivo::Result<AgentWorkState> agent_state_from_json(const nlohmann::json& j);
kivo::Result<AgentStepOutcome> step_outcome_from_json(const nlohmann::json& j);
kivo::Result<std::optional<AgentReasoning>> reasoning_from_json(const nlohmann::json& j);  // null: none
kivo::Result<AgentStep> agent_step_from_json(const nlohmann::json& j);
kivo::Result<AgentWork> agent_work_from_json(const nlohmann::json& j);
kivo::Result<StoredAgentTransition> transition_from_json(const nlohmann::json& j);

}  // namespace chat
