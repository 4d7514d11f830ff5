// App: the running application as the toolkit holds it; hands out the typed action registry.
#pragma once

#include "runtime/actions/typed_action_registry.h"

namespace kivo_ui::app {

class App {
public:
  kivo_actions::TypedActionRegistry& action_registry_mut() { return m_registry; }
  const kivo_actions::TypedActionRegistry& action_registry() const { return m_registry; }

private:
  kivo_actions::TypedActionRegistry m_registry;
};

}  // namespace kivo_ui::app
