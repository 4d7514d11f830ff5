#include "runtime/ui/command_line.h"

#include <charconv>

namespace kivo_ui::launch {

std::optional<std::pair<int, int>> parse_size(const std::string& text) {
  auto x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  auto number = [](std::string_view s) -> std::optional<int> {
    int v = 0;
    if (s.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < 1 || v > 16384) return std::nullopt;
    return v;
  };
  auto w = number(std::string_view(text).substr(0, x));
  auto h = number(std::string_view(text).substr(x + 1));
  if (!w || !h) return std::nullopt;
  return std::make_pair(*w, *h);
}

kivo::Result<Command> parse_command_line(const std::vector<std::string>& args) {
  if (args.empty()) return Command{OpenWindow{}};
  if (args.size() == 1 && args[0] == "--list-screenshots") return Command{ListScreenshots{}};

  TakeScreenshot shot;
  bool is_shot = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takes_value = arg == "--screenshot" || arg == "--output" || arg == "--size" || arg == "--theme";
    if (!takes_value) return kivo::make_error("unknown option \"" + arg + "\"");
    if (i + 1 >= args.size()) return kivo::make_error("option " + arg + " needs a value");
    const std::string& text = args[++i];
    if (arg == "--screenshot") {
      shot.name = text;
      is_shot = true;
    } else if (arg == "--output") {
      shot.output = text;
    } else if (arg == "--size") {
      auto size = parse_size(text);
      if (!size) return kivo::make_error("malformed size \"" + text + "\" (expected WIDTHxHEIGHT)");
      shot.size = size;
    } else {
      if (text == "light")
        shot.theme = ThemeMode::Light;
      else if (text == "dark")
        shot.theme = ThemeMode::Dark;
      else
        return kivo::make_error("unknown theme \"" + text + "\" (expected light or dark)");
    }
  }
  if (!is_shot) return kivo::make_error("--output, --size and --theme go with --screenshot");
  return Command{shot};
}

std::string usage_text(const std::string& program) {
  return "usage: " + program + "                      open the window\n"
         "       " + program + " --screenshot NAME --output PATH [--size WxH] [--theme light|dark]\n"
         "       " + program + " --list-screenshots\n";
}

}  // namespace kivo_ui::launch
