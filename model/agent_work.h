// AgentWork: an agent's progress record on a message (state, reasoning, trace of steps).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace chat {

namespace work_state {
struct Taken {
  bool operator==(const Taken&) const = default;
};
struct Waiting {
  std::string app;  // what the work waits for
  bool operator==(const Waiting&) const = default;
};
struct Doing {
  std::string did;
  std::string about;
  bool operator==(const Doing&) const = default;
};
struct Done {
  std::string did;
  bool operator==(const Done&) const = default;
};
struct Refused {
  bool operator==(const Refused&) const = default;
};
}  // namespace work_state

using AgentWorkState = std::variant<work_state::Taken, work_state::Waiting, work_state::Doing, work_state::Done,
                                    work_state::Refused>;

enum class AgentRoute { Model, Floor };

struct AgentReasoning {
  AgentRoute route = AgentRoute::Model;
  std::string why;
  bool operator==(const AgentReasoning&) const = default;
};

namespace step_outcome {
struct Asked {
  bool operator==(const Asked&) const = default;
};
struct Applied {
  bool operator==(const Applied&) const = default;
};
struct NoChange {
  bool operator==(const NoChange&) const = default;
};
struct Refused {
  std::string why;
  bool operator==(const Refused&) const = default;
};
}  // namespace step_outcome

using AgentStepOutcome = std::variant<step_outcome::Asked, step_outcome::Applied, step_outcome::NoChange,
                                      step_outcome::Refused>;

struct AgentStep {
  std::string id;         // stable step id; steps are matched by it
  uint64_t sequence = 0;  // position of the step
  std::string resource;   // the resource the step acted on
  std::string label;      // what the step did, for display
  AgentStepOutcome outcome;
  bool operator==(const AgentStep&) const = default;
};

struct AgentWork {
  AgentWorkState state;
  int64_t since = 0;  // Unix seconds at which the current state began
  std::optional<AgentReasoning> reasoning;
  std::vector<AgentStep> trace;
  bool operator==(const AgentWork&) const = default;
};

}  // namespace chat
