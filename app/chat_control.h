// ChatControl: every clickable thing of the window, and the hit regions `draw` records for input.
// Pointer, keyboard, assistive technology and automation all end in activating one of these.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "runtime/ui/geometry.h"

namespace chat {

// A file the attachment panel offers for import.
struct AttachmentCandidate {
  std::string path;
  std::string name;
  uint64_t size = 0;
  bool video = false;
  bool operator==(const AttachmentCandidate&) const = default;
};

namespace control {
struct Inbox { bool operator==(const Inbox&) const = default; };
struct CurrentContext { bool operator==(const CurrentContext&) const = default; };
struct Channel { std::string id; bool operator==(const Channel&) const = default; };
struct VoiceChannel { std::string id; bool operator==(const VoiceChannel&) const = default; };
struct CategoryToggle { std::string id; bool operator==(const CategoryToggle&) const = default; };
struct AddChannel { std::string workspace, category; bool operator==(const AddChannel&) const = default; };
struct AddCategory { std::string workspace; bool operator==(const AddCategory&) const = default; };
struct FocusRename { bool operator==(const FocusRename&) const = default; };
struct Reaction { std::string msg, emoji; bool operator==(const Reaction&) const = default; };
struct AddReaction { std::string msg; kivo_ui::Point anchor; bool operator==(const AddReaction&) const = default; };
struct OpenThread { std::string id; bool operator==(const OpenThread&) const = default; };
struct EditHistory { std::string msg; kivo_ui::Point anchor; bool operator==(const EditHistory&) const = default; };
struct MessageMenu { std::string id; bool operator==(const MessageMenu&) const = default; };
struct EditSave { bool operator==(const EditSave&) const = default; };
struct EditCancel { bool operator==(const EditCancel&) const = default; };
struct FocusEdit { bool operator==(const FocusEdit&) const = default; };
struct EmojiChoice { std::string emoji; bool operator==(const EmojiChoice&) const = default; };
struct FocusMain { bool operator==(const FocusMain&) const = default; };
struct FocusThread { bool operator==(const FocusThread&) const = default; };
struct Send { bool operator==(const Send&) const = default; };
struct JumpToLatest { bool operator==(const JumpToLatest&) const = default; };
struct ComposerEmoji { kivo_ui::Point anchor; bool operator==(const ComposerEmoji&) const = default; };
struct Attach { bool operator==(const Attach&) const = default; };
struct AttachPick { AttachmentCandidate candidate; bool operator==(const AttachPick&) const = default; };
struct StartCall { bool operator==(const StartCall&) const = default; };
struct CloseThread { bool operator==(const CloseThread&) const = default; };
struct CallDragHandle { bool operator==(const CallDragHandle&) const = default; };
struct CallParticipantsToggle { bool operator==(const CallParticipantsToggle&) const = default; };
struct CallMute { bool operator==(const CallMute&) const = default; };
struct CallDeafen { bool operator==(const CallDeafen&) const = default; };
struct CallAudioOnly { bool operator==(const CallAudioOnly&) const = default; };
struct CallShareScreen { bool operator==(const CallShareScreen&) const = default; };
struct CallExpand { bool operator==(const CallExpand&) const = default; };
struct CallLeave { bool operator==(const CallLeave&) const = default; };
struct ToggleLeftFlap { bool operator==(const ToggleLeftFlap&) const = default; };
struct ToggleRightFlap { bool operator==(const ToggleRightFlap&) const = default; };
struct Dismiss { bool operator==(const Dismiss&) const = default; };
}  // namespace control

// The discriminant order is part of the control set's contract (call controls are 27 to 33).
using ChatControl = std::variant<
    control::Inbox, control::CurrentContext, control::Channel, control::VoiceChannel, control::CategoryToggle,
    control::AddChannel, control::AddCategory, control::FocusRename, control::Reaction, control::AddReaction,
    control::OpenThread, control::EditHistory, control::MessageMenu, control::EditSave, control::EditCancel,
    control::FocusEdit, control::EmojiChoice, control::FocusMain, control::FocusThread, control::Send,
    control::JumpToLatest, control::ComposerEmoji, control::Attach, control::AttachPick, control::StartCall,
    control::CloseThread, control::CallDragHandle, control::CallParticipantsToggle, control::CallMute,
    control::CallDeafen, control::CallAudioOnly, control::CallShareScreen, control::CallExpand, control::CallLeave,
    control::ToggleLeftFlap, control::ToggleRightFlap, control::Dismiss>;

inline bool is_call_control(const ChatControl& c) { return c.index() >= 27 && c.index() <= 33; }

struct HitRegion {
  kivo_ui::Rect rect;
  ChatControl control;
};

// The regions of the last draw, in drawing order (later ones lie on top).
struct HitRegions {
  std::vector<HitRegion> regions;

  void clear() { regions.clear(); }
  void add(kivo_ui::Rect rect, ChatControl control) { regions.push_back({rect, std::move(control)}); }
  // The topmost region under `p`, or nullptr.
  const HitRegion* at(kivo_ui::Point p) const {
    for (auto it = regions.rbegin(); it != regions.rend(); ++it)
      if (it->rect.contains(p)) return &*it;
    return nullptr;
  }
};

}  // namespace chat
