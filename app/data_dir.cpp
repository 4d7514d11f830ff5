#include "app/data_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace chat {

EnvLookup process_env() {
  return [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
  };
}

BaseDirs base_dirs(const EnvLookup& env) {
  BaseDirs dirs;
  auto home = env("HOME");
  if (home && !home->empty()) {
    dirs.home_dir = *home;
  } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) {
    dirs.home_dir = pw->pw_dir;
  }
  // XDG_DATA_HOME counts only as an absolute path; otherwise the default under $HOME.
  if (auto xdg = env("XDG_DATA_HOME"); xdg && std::filesystem::path(*xdg).is_absolute())
    dirs.data_dir = *xdg;
  else if (home && !home->empty())
    dirs.data_dir = std::filesystem::path(*home) / ".local" / "share";
  return dirs;
}

std::optional<std::filesystem::path> chat_data_dir(const EnvLookup& env, const BaseDirs& dirs) {
  if (auto explicit_dir = env("KIVO_CHAT_DATA")) return std::filesystem::path(*explicit_dir);
  if (dirs.data_dir) return *dirs.data_dir / "kivo-chat";
  if (dirs.home_dir) return *dirs.home_dir / ".local/share" / "kivo-chat";
  return std::nullopt;
}

std::optional<std::filesystem::path> chat_data_dir() {
  auto env = process_env();
  return chat_data_dir(env, base_dirs(env));
}

}  // namespace chat
