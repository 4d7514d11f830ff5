#include "app/launch_descriptor.h"

#include "app/chat_app.h"
#include "app/data_dir.h"
#include "app/screenshot.h"
#include "model/chat_action_registration.h"

namespace chat {

kivo_ui::Size default_window_size() { return {1280, 800}; }

std::unique_ptr<kivo_ui::Widget> create_app() {
  auto app = std::make_unique<ChatApp>();
  app->set_interactive(true);
  return app;
}

void register_actions(kivo_ui::app::App& app) {
  // "chat.action" decodes its payload into a chat action and applies it to the workspace document.
  register_chat_action(app.action_registry_mut());
}

kivo::Result<kivo_ui::persist::Handle> open_persistence_in(const kivo_ui::persist::Request& request,
                                                          const std::optional<std::filesystem::path>& data_dir) {
  if (data_dir) return kivo_ui::persist::open_migrating(request, *data_dir / "workspace.automerge");
  return kivo_ui::persist::open(request);
}

kivo::Result<kivo_ui::persist::Handle> open_persistence(const kivo_ui::persist::Request& request) {
  return open_persistence_in(request, chat_data_dir());
}

kivo_ui::launch::LaunchDescriptor make_launch_descriptor() {
  kivo_ui::launch::LaunchDescriptor d;
  d.app_id = std::string(kAppId);
  for (auto name : kScreenshotScenarios) d.screenshot_scenarios.emplace_back(name);
  d.create_app = create_app;
  d.render_screenshot = render_screenshot;
  d.register_actions = register_actions;
  d.default_window_size = default_window_size;
  d.max_windows = [] { return 1; };
  d.open_persistence = open_persistence;
  d.start_hidden = false;
  d.transparent_window = false;
  d.resizable = true;
  d.decorated = true;
  return d;
}

}  // namespace chat
