#include "runtime/ui/persist.h"

namespace kivo_ui::persist {

kivo::Result<Handle> open(const Request& request) {
  auto store = std::make_shared<Store>();
  store->request = request;
  return Handle(std::move(store));
}

kivo::Result<Handle> open_migrating(const Request& request, const std::filesystem::path& legacy_file) {
  KIVO_TRY_ASSIGN(handle, open(request));
  handle->migrate_from = legacy_file;
  return handle;
}

}  // namespace kivo_ui::persist
