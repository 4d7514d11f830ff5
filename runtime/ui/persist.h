// Persistence of the application's shared document in its data directory.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "runtime/base/result.h"

namespace kivo_ui::persist {

// What the toolkit asks the application's opener for.
struct Request {
  std::string app_id;
  std::optional<std::filesystem::path> data_dir;  // where the store lives; none keeps it in memory
};

// The open store; the toolkit keeps it for the whole run.
struct Store {
  Request request;
  std::optional<std::filesystem::path> migrate_from;  // earlier stand-alone document to import once
};

using Handle = std::shared_ptr<Store>;

kivo::Result<Handle> open(const Request& request);
kivo::Result<Handle> open_migrating(const Request& request, const std::filesystem::path& legacy_file);

}  // namespace kivo_ui::persist
