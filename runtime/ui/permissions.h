// Permissions: what the user has allowed the application to do in this window. Guarded
// operations ask `check` first and do nothing when it refuses.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/base/result.h"

namespace kivo_ui::permissions {

enum class PermissionKind : uint8_t {
  Files,          // read files the user picks or names (attachments)
  Camera,
  Microphone,
  ScreenCapture,
  Network,        // reach other peers
  WriteDocument,  // change the shared document (send, edit, react, ...)
  Clipboard,
  Notifications,
};
inline constexpr int kPermissionKindCount = 8;

std::string_view permission_name(PermissionKind kind);  // "files", "camera", "screen-capture", ...

// A set of granted permissions. A default-constructed context grants nothing.
struct PermissionContext {
  uint32_t granted = 0;  // one bit per PermissionKind

  static PermissionContext permissive();   // everything granted
  static PermissionContext restrictive();  // nothing granted (for tests and locked-down runs)

  bool check(PermissionKind kind) const;        // true when granted
  kivo::Status require(PermissionKind kind) const;  // "permission refused: camera" when not granted
  PermissionContext& allow(PermissionKind kind);
  PermissionContext& deny(PermissionKind kind);

  bool operator==(const PermissionContext&) const = default;
};

}  // namespace kivo_ui::permissions
