// Where the application keeps its data: the workspace store, the legacy save and the local id.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace chat {

// Reads an environment variable; none when unset (an empty value is a value).
using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;
EnvLookup process_env();

// The platform's base directories as the XDG rules give them.
struct BaseDirs {
  std::optional<std::filesystem::path> data_dir;  // $XDG_DATA_HOME, else $HOME/.local/share
  std::optional<std::filesystem::path> home_dir;  // $HOME, else the account's home directory
};
BaseDirs base_dirs(const EnvLookup& env);

// KIVO_CHAT_DATA unchanged, else the data directory + "kivo-chat", else home + ".local/share/kivo-chat".
std::optional<std::filesystem::path> chat_data_dir(const EnvLookup& env, const BaseDirs& dirs);
std::optional<std::filesystem::path> chat_data_dir();

}  // namespace chat
