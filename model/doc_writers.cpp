#include "model/doc_writers.h"

#include "model/agent_work_store.h"
#include "model/message_index.h"

namespace chat {

using kivo::doc::ObjType;
using kivo::doc::ROOT;

std::string_view presence_text(Presence presence) {
  switch (presence) {
    case Presence::Idle: return "idle";
    case Presence::Dnd: return "dnd";
    case Presence::Offline: return "offline";
    case Presence::Online: break;
  }
  return "online";
}

Presence presence_from_text(std::string_view text) {
  if (text == "idle") return Presence::Idle;
  if (text == "dnd") return Presence::Dnd;
  if (text == "offline") return Presence::Offline;
  return Presence::Online;
}

std::string_view channel_kind_text(ChannelKind kind) { return kind == ChannelKind::Voice ? "voice" : "text"; }

void write_workspace(DocWrite w, const std::string& id, const std::string& name, const std::string& glyph,
                     uint64_t color_idx, uint32_t order) {
  ObjId ws = ensure_map(w, ensure_map(w, ROOT, key::workspaces), id);
  put_str(w, ws, "name", name);
  put_str(w, ws, "glyph", glyph);
  put_int(w, ws, "color_idx", static_cast<int64_t>(color_idx));
  put_int(w, ws, "order", order);
}

void write_category(DocWrite w, const std::string& id, const std::string& workspace, const std::string& name,
                    uint32_t order) {
  ObjId cat = ensure_map(w, ensure_map(w, ROOT, key::categories), id);
  put_str(w, cat, "workspace", workspace);
  put_str(w, cat, "name", name);
  put_int(w, cat, "order", order);
  put_bool(w, cat, "collapsed", false);
}

void write_channel(DocWrite w, const std::string& id, const std::string& workspace, const std::string& category,
                   const std::string& name, const std::string& topic, ChannelKind kind, uint32_t order) {
  ObjId ch = ensure_map(w, ensure_map(w, ROOT, key::channels), id);
  put_str(w, ch, "workspace", workspace);
  put_str(w, ch, "category", category);
  put_str(w, ch, "name", name);
  put_str(w, ch, "topic", topic);
  put_str(w, ch, "kind", channel_kind_text(kind));
  put_int(w, ch, "order", order);
  if (kind == ChannelKind::Voice) ensure_map(w, ensure_map(w, ROOT, key::voice), id);
}

void write_user(DocWrite w, const std::string& id, const std::string& name, const std::string& initials,
                uint64_t color_idx, Presence presence) {
  ObjId user = ensure_map(w, ensure_map(w, ROOT, key::users), id);
  put_str(w, user, "name", name);
  put_str(w, user, "initials", initials);
  put_int(w, user, "color_idx", static_cast<int64_t>(color_idx));
  put_str(w, user, "status", presence_text(presence));
}

bool refresh_local_person(DocWrite w, const Person& person) {
  ObjId user = ensure_map(w, ensure_map(w, ROOT, key::users), person.id);
  bool wrote = false;
  auto str = [&](std::string_view k, std::string_view value) {
    auto stored = read_string(w.doc, user, k);
    if (stored && *stored == value) return;
    put_str(w, user, k, value);
    wrote = true;
  };
  str("name", person.name);
  str("initials", person.initials);
  auto color = read_int(w.doc, user, "color_idx");
  if (!color || *color != static_cast<int64_t>(person.color_idx)) {
    put_int(w, user, "color_idx", static_cast<int64_t>(person.color_idx));
    wrote = true;
  }
  str("status", presence_text(person.presence));
  return wrote;
}

namespace {

bool scan_for_id(const Document& doc, std::string_view id) {
  auto messages = get_map(doc, ROOT, key::messages);
  if (!messages) return false;
  bool found = false;
  doc.for_each_entry(*messages, [&](const std::string&, const kivo::doc::Value& value) {
    const auto* ref = value.object();
    if (found || !ref || ref->type != ObjType::List) return;
    doc.for_each_element(ref->id, [&](size_t, const kivo::doc::Value& element) {
      if (found) return;
      auto map = as_map(element);
      if (!map) return;
      auto stored = read_string(doc, *map, "id");
      if (stored && *stored == id) found = true;
    });
  });
  return found;
}

}  // namespace

bool message_id_exists(const Document& doc, std::string_view id, MessageIndex* index) {
  if (!index) return scan_for_id(doc, id);
  auto channel = index->channel_of(doc, id);
  if (!channel) return false;
  if (find_message(doc, *channel, id)) return true;
  return scan_for_id(doc, id);  // stale entry: the message moved out of that channel
}

std::optional<FoundMessage> find_message_in(const Document& doc, std::string_view channel, std::string_view id) {
  auto messages = get_map(doc, ROOT, key::messages);
  if (!messages) return std::nullopt;
  auto list = get_list(doc, *messages, channel);
  if (!list) return std::nullopt;
  std::optional<FoundMessage> found;
  doc.for_each_element(*list, [&](size_t index, const kivo::doc::Value& element) {
    if (found) return;
    auto map = as_map(element);
    if (!map) return;
    auto stored = read_string(doc, *map, "id");
    if (stored && *stored == id) found = FoundMessage{*list, index, *map};
  });
  return found;
}

std::optional<ObjId> find_message(const Document& doc, std::string_view channel, std::string_view id) {
  auto found = find_message_in(doc, channel, id);
  if (!found) return std::nullopt;
  return found->map;
}

namespace {

ObjId new_object(DocWrite w, ObjId map, std::string_view k, ObjType type, const char* failure) {
  auto made = w.tx.put_object(map, k, type);
  if (!made.ok()) fatal_write(failure);
  return made.value();
}

ObjId append_map(DocWrite w, ObjId list, const char* failure) {
  auto made = w.tx.insert_object(list, w.doc.length(list), ObjType::Map);
  if (!made.ok()) fatal_write(failure);
  return made.value();
}

void write_attachment(DocWrite w, ObjId msg, const Attachment& attachment) {
  ObjId a = new_object(w, msg, "attachment", ObjType::Map, "put map");
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, attachment::Image>) put_str(w, a, "kind", "image");
        if constexpr (std::is_same_v<T, attachment::Video>) put_str(w, a, "kind", "video");
        if constexpr (std::is_same_v<T, attachment::File>) put_str(w, a, "kind", "file");
        put_str(w, a, "name", v.name);
        put_str(w, a, "blob", v.blob);
        if constexpr (!std::is_same_v<T, attachment::File>) {
          put_int(w, a, "w", v.w);
          put_int(w, a, "h", v.h);
        }
        if constexpr (!std::is_same_v<T, attachment::Image>) put_int(w, a, "size", static_cast<int64_t>(v.size));
      },
      attachment);
}

}  // namespace

bool insert_message(DocWrite w, const std::string& channel, const Message& message, MessageIndex* index) {
  if (message_id_exists(w.doc, message.id, index)) return false;
  ObjId list = ensure_list(w, ensure_map(w, ROOT, key::messages), channel);
  ObjId msg = append_map(w, list, "insert msg");
  put_str(w, msg, "id", message.id);
  put_str(w, msg, "author", message.author);
  put_int(w, msg, "ts", message.ts);
  put_str(w, msg, "parent", message.parent.value_or(std::string()));
  put_bool(w, msg, "edited", message.edited);
  ObjId text = new_object(w, msg, "text", ObjType::Text, "put text");
  if (!message.text.empty() && !w.tx.splice_text(text, 0, 0, message.text).ok()) fatal_write("put text");
  ObjId reactions = new_object(w, msg, "reactions", ObjType::List, "put list");
  for (const auto& group : message.reactions)
    for (const auto& user : group.users) {
      ObjId r = append_map(w, reactions, "insert reaction");
      put_str(w, r, "emoji", group.emoji);
      put_str(w, r, "user", user);
    }
  ObjId mentions = new_object(w, msg, "mentions", ObjType::List, "put list");
  for (const auto& mention : message.mentions) {
    ObjId m = append_map(w, mentions, "insert mention");
    put_str(w, m, "user", mention.user);
    put_int(w, m, "start", static_cast<int64_t>(mention.start));
    put_int(w, m, "len", static_cast<int64_t>(mention.len));
    put_bool(w, m, "agent", mention.is_agent);
  }
  if (message.work) write_work(w, msg, std::nullopt, *message.work);
  ObjId history = new_object(w, msg, "history", ObjType::List, "put list");
  for (const auto& edit : message.history) {
    ObjId h = append_map(w, history, "insert history");
    put_int(w, h, "ts", edit.ts);
    put_str(w, h, "text", edit.text);
  }
  if (message.attachment) write_attachment(w, msg, *message.attachment);
  if (message.reference) put_str(w, msg, "reference", kivo_actions::to_json(*message.reference).dump());
  if (index) index->note_inserted(message.id, channel);
  return true;
}

}  // namespace chat
