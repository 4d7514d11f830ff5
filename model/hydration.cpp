#include "model/hydration.h"

#include <algorithm>

#include "model/agent_work_store.h"
#include "model/doc_writers.h"
#include "model/ordering.h"
#include "model/workspace_doc.h"

namespace chat {

using kivo::doc::ROOT;
using kivo::doc::Value;

namespace {

// Every key of the root map `root_key` whose value is a map, in ascending key order.
template <typename F>
void for_each_record(const Document& doc, std::string_view root_key, F&& f) {
  auto map = get_map(doc, ROOT, root_key);
  if (!map) return;
  doc.for_each_entry(*map, [&](const std::string& id, const Value& value) {
    if (auto record = as_map(value)) f(id, *record);
  });
}

uint32_t order_of(const Document& doc, ObjId obj) { return static_cast<uint32_t>(int_or_zero(doc, obj, "order")); }
uint64_t u64_of(const Document& doc, ObjId obj, std::string_view k) {
  return static_cast<uint64_t>(int_or_zero(doc, obj, k));
}
uint64_t non_negative(const Document& doc, ObjId obj, std::string_view k) {
  int64_t v = int_or_zero(doc, obj, k);
  return v < 0 ? 0 : static_cast<uint64_t>(v);
}

template <typename F>
void for_each_map_element(const Document& doc, ObjId parent, std::string_view k, F&& f) {
  auto list = get_list(doc, parent, k);
  if (!list) return;
  doc.for_each_element(*list, [&](size_t, const Value& value) {
    if (auto map = as_map(value)) f(*map);
  });
}

std::optional<Attachment> read_attachment(const Document& doc, ObjId msg) {
  auto a = get_map(doc, msg, "attachment");
  if (!a) return std::nullopt;
  std::string blob = string_or_empty(doc, *a, "blob");
  if (blob.empty()) blob = string_or_empty(doc, *a, "path");
  std::string name = string_or_empty(doc, *a, "name");
  auto kind = string_or_empty(doc, *a, "kind");
  auto dim = [&](std::string_view k) { return static_cast<uint32_t>(int_or_zero(doc, *a, k)); };
  if (kind == "image") return attachment::Image{name, blob, dim("w"), dim("h")};
  if (kind == "video") return attachment::Video{name, blob, u64_of(doc, *a, "size"), dim("w"), dim("h")};
  if (kind == "file") return attachment::File{name, blob, u64_of(doc, *a, "size")};
  return std::nullopt;
}

Message read_message(const Document& doc, ObjId msg, std::string_view channel) {
  Message m;
  m.id = string_or_empty(doc, msg, "id");
  m.channel = std::string(channel);
  m.author = string_or_empty(doc, msg, "author");
  m.ts = int_or_zero(doc, msg, "ts");
  m.text = read_text_or_string(doc, msg, "text").value_or(std::string());
  if (auto parent = read_string(doc, msg, "parent"); parent && !parent->empty()) m.parent = *parent;
  m.edited = bool_or_false(doc, msg, "edited");
  m.pinned = bool_or_false(doc, msg, "pinned");
  for_each_map_element(doc, msg, "history", [&](ObjId h) {
    m.history.push_back(EditRecord{int_or_zero(doc, h, "ts"), string_or_empty(doc, h, "text")});
  });
  std::vector<std::pair<std::string, std::string>> pairs;
  for_each_map_element(doc, msg, "reactions", [&](ObjId r) {
    auto emoji = string_or_empty(doc, r, "emoji");
    if (emoji.empty()) return;
    pairs.emplace_back(std::move(emoji), string_or_empty(doc, r, "user"));
  });
  m.reactions = group_reactions(pairs);
  for_each_map_element(doc, msg, "mentions", [&](ObjId x) {
    auto user = string_or_empty(doc, x, "user");
    if (user.empty()) return;
    m.mentions.push_back(
        Mention{std::move(user), non_negative(doc, x, "start"), non_negative(doc, x, "len"), bool_or_false(doc, x, "agent")});
  });
  if (auto ref = read_string(doc, msg, "reference"); ref && !ref->empty()) {
    auto j = nlohmann::json::parse(*ref, nullptr, false);
    if (!j.is_discarded()) m.reference = kivo_actions::resource_ref_from_json(j);
  }
  m.attachment = read_attachment(doc, msg);
  m.work = read_work(doc, msg);
  return m;
}

std::optional<ObjId> channel_list(const Document& doc, std::string_view channel) {
  auto messages = get_map(doc, ROOT, key::messages);
  if (!messages) return std::nullopt;
  return get_list(doc, *messages, channel);
}

}  // namespace

std::vector<Workspace> list_workspaces(const Document& doc) {
  std::vector<Workspace> out;
  for_each_record(doc, key::workspaces, [&](const std::string& id, ObjId ws) {
    out.push_back(Workspace{id, string_or_empty(doc, ws, "name"), string_or_empty(doc, ws, "glyph"),
                            u64_of(doc, ws, "color_idx"), order_of(doc, ws)});
  });
  sort_by_order(out);
  return out;
}

std::vector<Category> list_categories(const Document& doc) {
  std::vector<Category> out;
  for_each_record(doc, key::categories, [&](const std::string& id, ObjId cat) {
    out.push_back(Category{id, string_or_empty(doc, cat, "workspace"), string_or_empty(doc, cat, "name"),
                           order_of(doc, cat), bool_or_false(doc, cat, "collapsed")});
  });
  sort_by_order(out);
  return out;
}

std::vector<Channel> list_channels(const Document& doc) {
  std::vector<Channel> out;
  for_each_record(doc, key::channels, [&](const std::string& id, ObjId ch) {
    Channel c;
    c.id = id;
    c.workspace = string_or_empty(doc, ch, "workspace");
    c.category = string_or_empty(doc, ch, "category");
    c.name = string_or_empty(doc, ch, "name");
    c.topic = string_or_empty(doc, ch, "topic");
    c.order = order_of(doc, ch);
    c.kind = string_or_empty(doc, ch, "kind") == "voice" ? ChannelKind::Voice : ChannelKind::Text;
    c.archived = bool_or_false(doc, ch, "archived");
    out.push_back(std::move(c));
  });
  sort_by_order(out);
  return out;
}

std::vector<Person> list_people(const Document& doc) {
  std::vector<Person> out;
  for_each_record(doc, key::users, [&](const std::string& id, ObjId u) {
    out.push_back(Person{id, string_or_empty(doc, u, "name"), string_or_empty(doc, u, "initials"),
                         u64_of(doc, u, "color_idx"), presence_from_text(string_or_empty(doc, u, "status")),
                         bool_or_false(doc, u, "agent")});
  });
  return out;
}

std::vector<Message> load_messages(const Document& doc, std::string_view channel) {
  std::vector<Message> out;
  auto list = channel_list(doc, channel);
  if (!list) return out;
  doc.for_each_element(*list, [&](size_t, const Value& value) {
    if (auto msg = as_map(value)) out.push_back(read_message(doc, *msg, channel));
  });
  return out;
}

std::vector<std::string> message_channels(const Document& doc) {
  std::vector<std::string> out;
  auto messages = get_map(doc, ROOT, key::messages);
  if (!messages) return out;
  doc.for_each_entry(*messages, [&](const std::string& k, const Value& v) {
    if (v.object() && v.object()->type == kivo::doc::ObjType::List) out.push_back(k);
  });
  return out;
}

uint64_t top_level_count(const Document& doc, std::string_view channel) {
  uint64_t count = 0;
  auto list = channel_list(doc, channel);
  if (!list) return 0;
  doc.for_each_element(*list, [&](size_t, const Value& value) {
    auto msg = as_map(value);
    if (!msg) return;
    auto parent = read_string(doc, *msg, "parent");
    if (!parent || parent->empty()) ++count;
  });
  return count;
}

int64_t read_count(const Document& doc, std::string_view channel, std::string_view user) {
  auto read = get_map(doc, ROOT, key::read);
  if (!read) return 0;
  auto counts = get_map(doc, *read, user);
  if (!counts) return 0;
  return int_or_zero(doc, *counts, channel);
}

uint64_t unread_count(const Document& doc, std::string_view channel, std::string_view user) {
  uint64_t total = top_level_count(doc, channel);
  int64_t seen = read_count(doc, channel, user);
  uint64_t read = seen < 0 ? 0 : static_cast<uint64_t>(seen);
  return read >= total ? 0 : total - read;
}

ReadCounts read_counts(const Document& doc) {
  ReadCounts out;
  for_each_record(doc, key::read, [&](const std::string& user, ObjId counts) {
    auto& row = out[user];
    doc.for_each_entry(counts, [&](const std::string& channel, const Value& v) {
      if (auto n = scalar_int(v)) row[channel] = *n;
    });
  });
  return out;
}

std::vector<CallParticipant> call_participants(const Document& doc, std::string_view channel) {
  std::vector<CallParticipant> out;
  auto voice = get_map(doc, ROOT, key::voice);
  if (!voice) return out;
  auto call = get_map(doc, *voice, channel);
  if (!call) return out;
  doc.for_each_entry(*call, [&](const std::string& user, const Value& value) {
    auto p = as_map(value);
    if (!p) return;
    out.push_back(CallParticipant{user, string_or_empty(doc, *p, "ticket"), bool_or_false(doc, *p, "talking"),
                                  bool_or_false(doc, *p, "muted"), bool_or_false(doc, *p, "deafened"),
                                  bool_or_false(doc, *p, "audio_only"), bool_or_false(doc, *p, "sharing")});
  });
  std::stable_sort(out.begin(), out.end(), [](const CallParticipant& a, const CallParticipant& b) {
    if (a.talking != b.talking) return a.talking;
    return a.user < b.user;
  });
  return out;
}

std::vector<std::string> voice_channels(const Document& doc) {
  std::vector<std::string> out;
  for_each_record(doc, key::voice, [&](const std::string& id, ObjId) { out.push_back(id); });
  return out;
}

}  // namespace chat
