#include "app/screenshot.h"

#include <cstdio>

#include "runtime/ui/shot_frame.h"

namespace chat {

void apply_scenario(ChatApp& app, std::string_view name) {
  if (name == "starter") app.request_seed_home();
}

kivo::Status render_screenshot(const kivo_ui::launch::ScreenshotRequest& request) {
  if (!request.output) return kivo::make_error("missing screenshot output");
  ChatApp app;
  apply_scenario(app, request.scenario.value_or(""));

  kivo_ui::Size size = request.size.value_or(kivo_ui::Size{1280, 800});
  kivo_ui::launch::shot_frame::ShotFrame frame(int(size.w), int(size.h), kivo_ui::launch::shot_theme(request));
  frame.sync(app);
  KIVO_TRY(frame.layout(app));
  frame.draw(app);
  frame.draw_floating_surfaces(app);
  KIVO_TRY(frame.write_png(*request.output));
  std::printf("chat: wrote shot to %s\n", request.output->c_str());
  std::fflush(stdout);
  return {};
}

}  // namespace chat
