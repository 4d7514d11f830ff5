#include "runtime/ui/launch.h"

#include <cstdio>
#include <iostream>
#include <variant>

#include "runtime/ui/bound_dispatch.h"
#include "runtime/ui/command_line.h"
#include "runtime/ui/persisted_document.h"
#include "runtime/ui/text_renderer.h"
#include "runtime/ui/window_loop.h"

namespace kivo_ui::launch {

Theme shot_theme(const ScreenshotRequest& request) {
  return request.theme == ThemeMode::Dark ? Theme::dark() : Theme::light();
}

namespace {

int take_screenshot(const LaunchDescriptor& d, const TakeScreenshot& shot) {
  if (!d.render_screenshot) {
    std::cerr << "this application has no screenshot mode\n";
    return 1;
  }
  if (shot.name && !d.screenshot_scenarios.empty()) {
    bool known = false;
    for (const auto& name : d.screenshot_scenarios) known = known || name == *shot.name;
    if (!known) std::cerr << "note: \"" << *shot.name << "\" is not a named scenario; drawing the default view\n";
  }
  ScreenshotRequest request;
  if (shot.output) request.output = *shot.output;
  request.scenario = shot.name;
  if (shot.size) request.size = Size{float(shot.size->first), float(shot.size->second)};
  request.theme = shot.theme;
  auto status = d.render_screenshot(request);
  if (!status.ok()) {
    std::cerr << status.error().message << "\n";
    return 1;
  }
  return 0;
}

int open_window(const LaunchDescriptor& d) {
  for (const auto& file : d.extra_font_files)
    if (!TextRenderer::add_font_file(file)) std::cerr << "note: cannot load the font " << file << "\n";
  persist::Handle store;
  if (d.open_persistence) {
    persist::Request request{d.app_id, std::nullopt};
    auto opened = d.open_persistence(request);
    if (!opened.ok()) {
      std::cerr << "cannot open the workspace store: " << opened.error().message << "\n";
      return 1;
    }
    store = opened.value();
  }
  if (!d.create_app) {
    std::cerr << "this application has no interactive mode\n";
    return 1;
  }
  // The document lives as long as the window: loaded from the store, or in memory without one.
  std::unique_ptr<doc::DocumentTarget> document;
  if (store) {
    auto loaded = doc::PersistedDocument::open(store);
    if (!loaded.ok()) {
      std::cerr << "cannot load the workspace document: " << loaded.error().message << "\n";
      return 1;
    }
    document = std::move(loaded).value();
  } else {
    document = std::make_unique<doc::MemoryDocumentTarget>();
  }
  app::App app;
  kivo_actions::ActionContext host_context;
  host_context.app_id = d.app_id;
  bound_dispatch::ActionHost actions(host_context);
  WindowOptions options;
  options.title = d.window_title.empty() ? d.app_id : d.window_title;
  if (d.default_window_size) options.size = d.default_window_size();
  options.resizable = d.resizable;
  options.decorated = d.decorated;
  options.start_hidden = d.start_hidden;
  options.transparent = d.transparent_window;
  return run_window(options, [&](WidgetContext& ctx) {
    ctx.document = document.get();
    ctx.app = &app;
    ctx.actions = &actions;
    if (d.register_actions) d.register_actions(app);
    return d.create_app();
  });
}

}  // namespace

int run_or_exit(const LaunchDescriptor& descriptor, int argc, char** argv) {
  std::string program = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "kivo";
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  auto command = parse_command_line(args);
  if (!command.ok()) {
    std::cerr << program << ": " << command.error().message << "\n" << usage_text(program);
    return 2;
  }
  return std::visit(
      [&](const auto& c) -> int {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, ListScreenshots>) {
          for (const auto& name : descriptor.screenshot_scenarios) std::cout << name << "\n";
          return 0;
        } else if constexpr (std::is_same_v<T, TakeScreenshot>) {
          return take_screenshot(descriptor, c);
        } else {
          return open_window(descriptor);
        }
      },
      command.value());
}

}  // namespace kivo_ui::launch
