// ChatState: everything the application object holds besides the toolkit's document: the model
// that refresh rebuilds, the selection and view state, the text fields, the image cache, the
// permissions, the local identity and the call. The views draw from it and record hit regions in it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/chat_control.h"
#include "call/call_session.h"
#include "model/chat_records.h"
#include "runtime/ui/context_menu.h"
#include "runtime/ui/image_store.h"
#include "runtime/ui/permissions.h"
#include "runtime/ui/text_input.h"
#include "runtime/ui/tooltip_host.h"
#include "views/window_layout.h"

namespace chat {

// The lists refresh rebuilds from the document, each replaced whole.
struct ChatModel {
  std::vector<Workspace> workspaces;      // by order
  std::vector<Channel> channels;          // by order, with view-only unread counts
  std::vector<Category> categories;       // by order
  std::vector<Message> messages;          // the current conversation, in document order
  std::vector<Message> all_messages;      // every channel's, channel after channel
  std::vector<Person> all_people;         // every user, by id
  std::vector<Person> workspace_people;   // the shown workspace's people, by name then id
  std::map<std::string, std::vector<CallParticipant>> voice_participants;  // by voice channel id
};

// The person this application acts for.
struct LocalIdentity {
  std::string user_id = "u_me";
  std::string name = "You";
  std::string initials = "YU";
  uint64_t color_idx = 0;
  bool operator==(const LocalIdentity&) const = default;
};

struct IdentityState {
  LocalIdentity local;
  std::vector<std::string> previous_ids;           // ids the local person had earlier in this run
  std::map<std::string, std::string> peer_names;   // from the presence context
  std::map<std::string, kivo_ui::Color> peer_colors;
  bool is_local(std::string_view id) const {
    if (id == local.user_id) return true;
    for (const auto& p : previous_ids)
      if (p == id) return true;
    return false;
  }
};

enum class RenameKind { Channel, Category };
struct RenameTarget {
  RenameKind kind = RenameKind::Channel;
  std::string id;
};

enum class MenuKind { Channel, Category, Message, Workspace };
struct OpenMenu {
  kivo_ui::ContextMenu menu;
  MenuKind kind = MenuKind::Workspace;
  std::string target;
};

// Codes of the context menus' items.
enum MenuCode : int {
  kMenuRename = 0, kMenuDelete = 1, kMenuMoveUp = 2, kMenuMoveDown = 3, kMenuNewTextChannel = 4,
  kMenuNewVoiceChannel = 5, kMenuNewCategory = 6, kMenuCollapseExpand = 7, kMenuArchive = 8,
  kMenuEditMessage = 9, kMenuPin = 10, kMenuDeleteMessage = 11,
};

struct EmojiPicker {
  bool open = false;
  std::optional<std::string> reaction_target;  // a message id; none inserts into the composer
  kivo_ui::Point anchor;
};

struct EditHistoryView {
  std::string msg;
  kivo_ui::Point anchor;
};

struct AttachmentPanel {
  bool open = false;
  std::optional<std::string> status;
  std::vector<AttachmentCandidate> candidates;
  std::optional<uint64_t> listing_request;  // the listing in flight
  std::optional<uint64_t> import_request;   // the import in flight
};

// The message list's bottom-anchored scroll model.
struct ScrollState {
  float offset = 0;          // 0: at the bottom; positive values move into the history
  float content_height = 0;  // of the previous frame
  bool at_bottom = true;     // following the latest message
};

enum class FocusTarget { Main, Thread };

struct FocusRing {
  bool active = false;
  size_t index = 0;
};

struct ChannelDrag {
  bool active = false;
  size_t index = 0;  // in the shown workspace's channel list
  std::string channel;
  kivo_ui::Point start, current;
};

struct ViewState {
  // Selection; the defaults name the demonstration content (repaired by the first sync).
  std::string shown_workspace = "ws_acme";
  std::string context_workspace = "ws_acme";
  bool inbox = false;
  std::string current_channel = "c_crit";        // empty: no conversation
  std::optional<std::string> open_thread = "m_concept";
  FocusTarget focus = FocusTarget::Main;         // the thread side has the focus when Thread
  std::optional<std::string> selected_message;   // the jump target, highlighted
  bool reveal_requested = false;                 // the next draw scrolls the target into view
  std::optional<std::string> selected_person;
  ScrollState scroll;

  // Layout.
  float scale = 1;
  ModeFlags modes;
  Flap left_flap = Flap::make(true);
  Flap right_flap = Flap::make(false);
  WindowRegions regions;  // of the last draw

  // Input.
  kivo_ui::Point pointer;
  std::optional<size_t> hovered_call_control;  // discriminant of the call control under the pointer
  ChannelDrag drag;
  FocusRing ring;

  // Open surfaces and modes.
  std::optional<OpenMenu> menu;
  std::optional<kivo_ui::Rect> menu_rect;
  std::optional<std::string> editing;  // the message being edited
  std::optional<RenameTarget> renaming;
  EmojiPicker emoji;
  std::optional<EditHistoryView> history;
  AttachmentPanel attach;
  std::optional<std::string> composer_override;  // screenshot scenarios only
  std::optional<std::string> composer_status;    // the composer's status text
};

// The four text fields.
struct TextFields {
  kivo_ui::TextInput main{15.f, true};
  kivo_ui::TextInput thread{15.f, true};
  kivo_ui::TextInput edit{15.f, true};
  kivo_ui::TextInput rename{14.f, false};
};

template <typename T>
const T* find_by_id(const std::vector<T>& list, std::string_view id) {
  for (const auto& item : list)
    if (item.id == id) return &item;
  return nullptr;
}

struct ChatState {
  ChatModel model;
  ViewState view;
  TextFields fields;
  kivo_ui::ImageStore images;
  kivo_ui::permissions::PermissionContext permissions = kivo_ui::permissions::PermissionContext::permissive();
  IdentityState identity;
  CallSession call;
  HitRegions hits;
  kivo_ui::TooltipHost tooltips;
  bool flaps_moving = false;

  bool may_write() const { return permissions.check(kivo_ui::permissions::PermissionKind::WriteDocument); }
  const Channel* channel(std::string_view id) const { return find_by_id(model.channels, id); }
  const Category* category(std::string_view id) const { return find_by_id(model.categories, id); }
  const Workspace* workspace(std::string_view id) const { return find_by_id(model.workspaces, id); }
  const Message* message(std::string_view id) const { return find_by_id(model.messages, id); }  // current conversation
  const Person* person(std::string_view id) const { return find_by_id(model.all_people, id); }
  const Channel* current_channel() const { return channel(view.current_channel); }
};

}  // namespace chat
