// The writers that put chat records into the workspace document, and find_message.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "model/chat_records.h"
#include "model/workspace_doc.h"

namespace chat {

class MessageIndex;

std::string_view presence_text(Presence presence);     // "online", "idle", "dnd", "offline"
Presence presence_from_text(std::string_view text);    // anything unknown is Online
std::string_view channel_kind_text(ChannelKind kind);  // "text", "voice"

void write_workspace(DocWrite w, const std::string& id, const std::string& name, const std::string& glyph,
                     uint64_t color_idx, uint32_t order);
void write_category(DocWrite w, const std::string& id, const std::string& workspace, const std::string& name,
                    uint32_t order);
// A voice channel also gets its (possibly empty) participant map under "voice".
void write_channel(DocWrite w, const std::string& id, const std::string& workspace, const std::string& category,
                   const std::string& name, const std::string& topic, ChannelKind kind, uint32_t order);
void write_user(DocWrite w, const std::string& id, const std::string& name, const std::string& initials,
                uint64_t color_idx, Presence presence);
// Brings the local person's entry up to date, writing only the values that differ; true when it wrote.
bool refresh_local_person(DocWrite w, const Person& person);

// True when some channel's list holds a message map with this id. With an index, only the channel
// the index names is looked at (the whole document only when that entry turns out stale).
bool message_id_exists(const Document& doc, std::string_view id, MessageIndex* index = nullptr);

// Appends `message` to its channel's list unless the id already exists anywhere; true when written.
bool insert_message(DocWrite w, const std::string& channel, const Message& message, MessageIndex* index = nullptr);

struct FoundMessage {
  ObjId list;    // the channel's message list
  size_t index;  // position in the list
  ObjId map;     // the message map
};
// The first message map of the channel's list whose "id" is `id`.
std::optional<FoundMessage> find_message_in(const Document& doc, std::string_view channel, std::string_view id);
std::optional<ObjId> find_message(const Document& doc, std::string_view channel, std::string_view id);

}  // namespace chat
