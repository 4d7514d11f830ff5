#include "runtime/ui/presence.h"

#include "runtime/ui/fnv.h"

namespace kivo_ui {
namespace presence {

const std::array<Color, kPaletteSize>& palette() {
  static const std::array<Color, kPaletteSize> colors = {
      Color::rgb(0x4F7FE8),  // blue
      Color::rgb(0x2FA87A),  // green
      Color::rgb(0xE0714F),  // coral
      Color::rgb(0x9B6BE0),  // violet
      Color::rgb(0xD9A53A),  // amber
      Color::rgb(0x3AA6C2),  // teal
      Color::rgb(0xD9588E),  // rose
      Color::rgb(0x7E9B3D),  // olive
  };
  return colors;
}

uint32_t color_index_for(std::string_view user_id) { return static_cast<uint32_t>(fnv1a64(user_id) & 7u); }

Color user_color(uint32_t color_index) { return palette()[color_index % kPaletteSize]; }

Color user_color(std::string_view user_id) { return user_color(color_index_for(user_id)); }

}  // namespace presence

Color PresenceCtx::color_for(std::string_view peer_id) const {
  if (const PeerPresence* p = peer(peer_id); p && p->color) return *p->color;
  return presence::user_color(peer_id);
}

std::optional<std::string> PresenceCtx::self_name() const {
  const char* ws = " \t\r\n\f\v";
  size_t begin = local_name.find_first_not_of(ws);
  if (begin == std::string::npos) return std::nullopt;
  return local_name.substr(begin, local_name.find_last_not_of(ws) - begin + 1);
}

const PeerPresence* PresenceCtx::peer(std::string_view peer_id) const {
  for (const auto& p : peers)
    if (p.id == peer_id) return &p;
  return nullptr;
}

}  // namespace kivo_ui
