// ActionTransport: carries the change an action made to the other peers of the document.
#pragma once

#include <string>
#include <vector>

#include "runtime/actions/action_error.h"

namespace kivo_actions {

class ActionDocument;

class ActionTransport {
public:
  virtual ~ActionTransport() = default;
  // Called after a successful commit with the heads from before the action.
  virtual ActionResult<bool> replicate(ActionDocument& document, const std::vector<std::string>& heads_before) = 0;
};

// The transport of a local run: the document's own persistence records the change; nothing travels.
class LocalTransport final : public ActionTransport {
public:
  ActionResult<bool> replicate(ActionDocument&, const std::vector<std::string>&) override { return true; }
};

}  // namespace kivo_actions
