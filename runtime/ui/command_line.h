// The toolkit's command line: open the window, render a screenshot, or list the screenshots.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/ui/theme.h"

namespace kivo_ui::launch {

struct OpenWindow {};
struct ListScreenshots {};
struct TakeScreenshot {
  std::optional<std::string> name;    // scenario; none gives the default view
  std::optional<std::string> output;  // PNG path; the renderer refuses a request without one
  std::optional<std::pair<int, int>> size;
  ThemeMode theme = ThemeMode::Light;
};

using Command = std::variant<OpenWindow, ListScreenshots, TakeScreenshot>;

// Parses argv[1..]; an unknown option or a malformed value is an error whose text says which.
kivo::Result<Command> parse_command_line(const std::vector<std::string>& args);
std::string usage_text(const std::string& program);

// "1280x800" -> (1280, 800); sizes from 1 to 16384 pixels.
std::optional<std::pair<int, int>> parse_size(const std::string& text);

}  // namespace kivo_ui::launch
