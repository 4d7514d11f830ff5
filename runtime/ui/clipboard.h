// The system clipboard as the widgets reach it: the window loop installs the desktop's, otherwise
// (tests, screenshots) an in-process one is used.
#pragma once

#include <functional>
#include <string>

namespace kivo_ui::clipboard {

struct Backend {
  std::function<std::string()> get;
  std::function<void(const std::string&)> set;
};

std::string get_text();
void set_text(const std::string& text);
void install(Backend backend);  // UI thread; an empty backend restores the in-process one

}  // namespace kivo_ui::clipboard
