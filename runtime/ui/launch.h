// The launch descriptor an application hands to the toolkit, and the toolkit's entry point.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/ui/app.h"
#include "runtime/ui/geometry.h"
#include "runtime/ui/persist.h"
#include "runtime/ui/theme.h"
#include "runtime/ui/widget.h"

namespace kivo_ui::launch {

// One screenshot to render, as the toolkit read it from its command line.
struct ScreenshotRequest {
  std::optional<std::filesystem::path> output;
  std::optional<std::string> scenario;
  std::optional<Size> size;
  ThemeMode theme = ThemeMode::Light;
};

Theme shot_theme(const ScreenshotRequest& request);  // the theme a shot is drawn in

struct LaunchDescriptor {
  std::string app_id;                                  // reverse-DNS application id
  std::string window_title;                            // empty: the application id
  std::vector<std::string> extra_font_files;           // fonts to load beside the theme's
  std::vector<std::string> required_permissions;       // permissions asked for at start
  std::vector<std::string> url_schemes;                // schemes the application opens
  std::vector<std::string> startup_actions;            // actions dispatched after the first frame
  std::vector<std::string> screenshot_scenarios;       // names the screenshot mode accepts

  std::function<std::unique_ptr<Widget>()> create_app;                               // interactive factory
  std::function<kivo::Status(const ScreenshotRequest&)> render_screenshot;           // one shot per call
  std::function<void(app::App&)> register_actions;                                   // typed actions
  std::function<Size()> default_window_size;
  std::function<int()> max_windows;                                                  // top-level windows at once
  std::function<kivo::Result<persist::Handle>(const persist::Request&)> open_persistence;

  bool start_hidden = false;
  bool transparent_window = false;
  bool resizable = true;
  bool decorated = true;
};

// Runs the application as the command line asks; answers the process's exit status.
// Failures print their text on stderr and answer non-zero (2 for a bad command line).
int run_or_exit(const LaunchDescriptor& descriptor, int argc, char** argv);

}  // namespace kivo_ui::launch
