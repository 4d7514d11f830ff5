// Presence: who is here (the local person and the peers the runtime knows), and the stable
// colour that marks each person in avatars, mentions and call tiles.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/color.h"

namespace kivo_ui {

namespace presence {

inline constexpr size_t kPaletteSize = 8;
const std::array<Color, kPaletteSize>& palette();  // readable on light and dark backgrounds

// Palette index of an id: the low 3 bits of the 64-bit FNV-1a hash of its bytes.
uint32_t color_index_for(std::string_view user_id);
Color user_color(uint32_t color_index);      // palette entry, index taken modulo the palette size
Color user_color(std::string_view user_id);  // user_color(color_index_for(user_id))

}  // namespace presence

struct PeerPresence {
  std::string id;
  std::string display_name;   // may be blank when the peer announced none
  std::optional<Color> color; // a colour the peer chose, if any
};

// What the toolkit knows of presence at one moment; handed to the application before drawing.
struct PresenceCtx {
  std::optional<std::string> local_peer_id;  // the runtime's id of this person, when it has one
  std::string local_name;                    // the runtime's display name of this person
  std::vector<PeerPresence> peers;

  // The colour of a person: the peer's chosen colour, else the stable colour of the id.
  Color color_for(std::string_view peer_id) const;
  // The local display name without surrounding white space; nothing when it is blank.
  std::optional<std::string> self_name() const;
  const PeerPresence* peer(std::string_view peer_id) const;  // nullptr when unknown
};

}  // namespace kivo_ui
