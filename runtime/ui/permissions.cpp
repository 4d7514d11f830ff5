#include "runtime/ui/permissions.h"

#include <string>

namespace kivo_ui::permissions {
namespace {

uint32_t bit(PermissionKind kind) { return 1u << static_cast<uint32_t>(kind); }

}  // namespace

std::string_view permission_name(PermissionKind kind) {
  switch (kind) {
    case PermissionKind::Files: return "files";
    case PermissionKind::Camera: return "camera";
    case PermissionKind::Microphone: return "microphone";
    case PermissionKind::ScreenCapture: return "screen-capture";
    case PermissionKind::Network: return "network";
    case PermissionKind::WriteDocument: return "write-document";
    case PermissionKind::Clipboard: return "clipboard";
    case PermissionKind::Notifications: return "notifications";
  }
  return "unknown";
}

PermissionContext PermissionContext::permissive() { return {(1u << kPermissionKindCount) - 1}; }
PermissionContext PermissionContext::restrictive() { return {0}; }

bool PermissionContext::check(PermissionKind kind) const { return (granted & bit(kind)) != 0; }

kivo::Status PermissionContext::require(PermissionKind kind) const {
  if (check(kind)) return {};
  return kivo::make_error("permission refused: " + std::string(permission_name(kind)));
}

PermissionContext& PermissionContext::allow(PermissionKind kind) {
  granted |= bit(kind);
  return *this;
}

PermissionContext& PermissionContext::deny(PermissionKind kind) {
  granted &= ~bit(kind);
  return *this;
}

}  // namespace kivo_ui::permissions
