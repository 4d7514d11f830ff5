// MediaKind: what a participant publishes, with its wire number and display name.
#pragma once

#include <cstdint>
#include <optional>

namespace chat {

enum class MediaKind : uint8_t { Microphone = 0, Camera = 1, ScreenShare = 2 };

const char* media_kind_display_name(MediaKind kind);  // "Microphone", "Camera", "Screen sharing"
std::optional<MediaKind> media_kind_from_wire(uint8_t number);

}  // namespace chat
