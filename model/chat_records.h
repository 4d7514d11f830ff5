// The chat records in their hydrated, in-memory form: plain values rebuilt from the document.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/agent_work.h"
#include "runtime/actions/resource.h"

namespace chat {

struct Workspace {
  std::string id;
  std::string name;   // e.g. "My Workspace"
  std::string glyph;  // rail badge text, e.g. "MW"
  uint64_t color_idx = 0;
  uint32_t order = 0;
  bool operator==(const Workspace&) const = default;
};

struct Category {
  std::string id;
  std::string workspace;
  std::string name;
  uint32_t order = 0;
  bool collapsed = false;
  bool operator==(const Category&) const = default;
};

enum class ChannelKind { Text, Voice };

struct Channel {
  std::string id;
  std::string workspace;
  std::string category;  // empty: the channel belongs to no category
  std::string name;
  std::string topic;
  uint32_t order = 0;
  ChannelKind kind = ChannelKind::Text;
  bool archived = false;
  uint64_t unread = 0;  // view-only: filled by the application's refresh, never stored
  bool operator==(const Channel&) const = default;
};

enum class Presence { Online, Idle, Dnd, Offline };

struct Person {
  std::string id;
  std::string name;
  std::string initials;
  uint64_t color_idx = 0;
  Presence presence = Presence::Online;
  bool agent = false;
  bool operator==(const Person&) const = default;
};

struct EditRecord {
  int64_t ts = 0;    // time of the edit that replaced this text
  std::string text;  // the text as it was before that edit
  bool operator==(const EditRecord&) const = default;
};

struct ReactionGroup {
  std::string emoji;
  std::vector<std::string> users;  // in the order their reactions were added; never empty
  bool operator==(const ReactionGroup&) const = default;
};

struct Mention {
  std::string user;
  uint64_t start = 0;  // byte offset of the "@" in the message text
  uint64_t len = 0;    // bytes of "@" plus the matched name
  bool is_agent = false;
  bool operator==(const Mention&) const = default;
};

namespace attachment {
struct Image {
  std::string name;
  std::string blob;
  uint32_t w = 0, h = 0;
  bool operator==(const Image&) const = default;
};
struct Video {
  std::string name;
  std::string blob;
  uint64_t size = 0;
  uint32_t w = 0, h = 0;
  bool operator==(const Video&) const = default;
};
struct File {
  std::string name;
  std::string blob;
  uint64_t size = 0;
  bool operator==(const File&) const = default;
};
}  // namespace attachment

using Attachment = std::variant<attachment::Image, attachment::Video, attachment::File>;

const std::string& attachment_name(const Attachment& a);
const std::string& attachment_blob(const Attachment& a);

struct Message {
  std::string id;
  std::string channel;
  std::string author;
  int64_t ts = 0;
  std::string text;
  std::optional<std::string> parent;  // thread root; none for a top-level message
  bool edited = false;
  std::vector<EditRecord> history;    // oldest first
  std::vector<ReactionGroup> reactions;
  std::vector<Mention> mentions;
  std::optional<kivo_actions::ResourceRef> reference;
  std::optional<Attachment> attachment;
  bool pinned = false;
  std::optional<AgentWork> work;

  bool is_top_level() const { return !parent || parent->empty(); }
  bool operator==(const Message&) const = default;
};

struct CallParticipant {
  std::string user;
  std::string ticket;  // media connection ticket; empty until published
  bool talking = false;
  bool muted = false;
  bool deafened = false;
  bool audio_only = false;
  bool sharing = false;
  bool operator==(const CallParticipant&) const = default;
};

// For each user and channel: how many top-level messages the user has seen.
using ReadCounts = std::map<std::string, std::map<std::string, int64_t>>;

}  // namespace chat
