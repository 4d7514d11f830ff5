// kivo-ui-demo: opens the toolkit demonstration window, or renders it with --screenshot.
#include <cstdio>

#include "runtime/ui/demo/demo_widget.h"
#include "runtime/ui/launch.h"
#include "runtime/ui/shot_frame.h"

int main(int argc, char** argv) {
  using namespace kivo_ui;
  launch::LaunchDescriptor d;
  d.app_id = "kivo.ui.demo";
  d.window_title = "Kivo UI demo";
  d.screenshot_scenarios = {"showcase", "dark"};
  d.default_window_size = [] { return Size{1100, 720}; };
  d.create_app = [] { return std::make_unique<demo::DemoWidget>(); };
  d.render_screenshot = [](const launch::ScreenshotRequest& request) -> kivo::Status {
    if (!request.output) return kivo::make_error("missing screenshot output");
    demo::DemoWidget widget;
    widget.prepare_showcase();
    Size size = request.size.value_or(Size{1100, 720});
    Theme theme = request.scenario == std::optional<std::string>("dark") ? Theme::dark() : launch::shot_theme(request);
    launch::shot_frame::ShotFrame frame(int(size.w), int(size.h), theme);
    frame.sync(widget);
    KIVO_TRY(frame.layout(widget));
    frame.draw(widget);
    frame.draw_floating_surfaces(widget);
    KIVO_TRY(frame.write_png(*request.output));
    std::printf("demo: wrote shot to %s\n", request.output->c_str());
    return {};
  };
  return launch::run_or_exit(d, argc, argv);
}
