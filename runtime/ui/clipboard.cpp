#include "runtime/ui/clipboard.h"

namespace kivo_ui::clipboard {

namespace {
std::string& local_text() {
  static std::string text;
  return text;
}
Backend& backend() {
  static Backend b;
  return b;
}
}  // namespace

std::string get_text() { return backend().get ? backend().get() : local_text(); }

void set_text(const std::string& text) {
  if (backend().set)
    backend().set(text);
  else
    local_text() = text;
}

void install(Backend b) { backend() = std::move(b); }

}  // namespace kivo_ui::clipboard
