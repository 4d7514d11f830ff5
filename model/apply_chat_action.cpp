#include "model/apply_chat_action.h"

#include "model/agent_work_store.h"
#include "model/doc_writers.h"
#include "model/hydration.h"
#include "model/ids.h"
#include "model/message_index.h"
#include "model/ordering.h"

namespace chat {

using kivo::doc::ObjType;
using kivo::doc::ROOT;
using namespace action;

bool is_acceptable_attachment(const Attachment& attachment) {
  if (!is_valid_attachment_name(attachment_name(attachment)) || !is_valid_blob_ref(attachment_blob(attachment)))
    return false;
  auto side_ok = [](uint32_t v, bool at_least_one) { return v <= kMaxAttachmentSide && (!at_least_one || v >= 1); };
  auto size_ok = [](uint64_t v) { return v >= 1 && v <= kMaxAttachmentBytes; };
  return std::visit(
      [&](const auto& a) {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<T, attachment::Image>) return side_ok(a.w, true) && side_ok(a.h, true);
        if constexpr (std::is_same_v<T, attachment::Video>)
          return size_ok(a.size) && side_ok(a.w, false) && side_ok(a.h, false);
        if constexpr (std::is_same_v<T, attachment::File>) return size_ok(a.size);
      },
      attachment);
}

namespace {

struct Applier {
  DocWrite w;
  MessageIndex* index;

  bool channel_exists(const std::string& id) const {
    auto channels = get_map(w.doc, ROOT, key::channels);
    return channels && get_map(w.doc, *channels, id);
  }

  std::optional<ObjId> record(std::string_view root_key, const std::string& id) const {
    auto map = get_map(w.doc, ROOT, root_key);
    if (!map) return std::nullopt;
    return get_map(w.doc, *map, id);
  }

  ObjId participant(const std::string& channel, const std::string& user) {
    ObjId call = ensure_map(w, ensure_map(w, ROOT, key::voice), channel);
    return ensure_map(w, call, user);
  }

  bool operator()(const SendMessage& a) {
    if (!channel_exists(a.channel)) return false;
    if (!is_valid_message_id(a.id)) return false;
    if (message_id_exists(w.doc, a.id, index)) return false;
    if (a.text.size() > kMaxMessageBytes) return false;
    if (a.attachment && !is_acceptable_attachment(*a.attachment)) return false;
    if (a.parent && !a.parent->empty()) {
      if (auto root = find_message(w.doc, a.channel, *a.parent)) {
        auto grand = read_string(w.doc, *root, "parent");
        if (grand && !grand->empty()) return false;  // one level of threads only
      }
    }
    Message m;
    m.id = a.id;
    m.channel = a.channel;
    m.author = a.author;
    m.ts = a.ts;
    m.text = a.text;
    m.parent = a.parent;
    m.attachment = a.attachment;
    m.mentions = a.mentions;
    m.reference = a.reference;
    return insert_message(w, a.channel, m, index);
  }

  bool operator()(const EditMessage& a) {
    auto msg = find_message(w.doc, a.channel, a.id);
    if (!msg) return false;
    std::string old_text = read_text_or_string(w.doc, *msg, "text").value_or(std::string());
    if (old_text == a.text) return false;
    ObjId history = ensure_list(w, *msg, "history");
    auto entry = w.tx.insert_object(history, w.doc.length(history), ObjType::Map);
    if (!entry.ok()) fatal_write("insert history");
    put_int(w, entry.value(), "ts", a.ts);
    put_str(w, entry.value(), "text", old_text);
    set_text(w, ensure_text(w, *msg, "text"), a.text);
    put_bool(w, *msg, "edited", true);
    return true;
  }

  bool operator()(const DeleteMessage& a) {
    auto found = find_message_in(w.doc, a.channel, a.id);
    if (!found) return false;
    delete_index(w, found->list, found->index);
    return true;
  }

  std::optional<size_t> reaction_index(ObjId list, const std::string& emoji, const std::string& user) const {
    std::optional<size_t> at;
    w.doc.for_each_element(list, [&](size_t i, const kivo::doc::Value& v) {
      if (at) return;
      auto r = as_map(v);
      if (r && read_string(w.doc, *r, "emoji") == emoji && read_string(w.doc, *r, "user") == user) at = i;
    });
    return at;
  }

  bool operator()(const AddReaction& a) {
    auto msg = find_message(w.doc, a.channel, a.msg);
    if (!msg) return false;
    ObjId list = ensure_list(w, *msg, "reactions");
    if (reaction_index(list, a.emoji, a.user)) return false;
    auto entry = w.tx.insert_object(list, w.doc.length(list), ObjType::Map);
    if (!entry.ok()) fatal_write("insert reaction");
    put_str(w, entry.value(), "emoji", a.emoji);
    put_str(w, entry.value(), "user", a.user);
    return true;
  }

  bool operator()(const RemoveReaction& a) {
    auto msg = find_message(w.doc, a.channel, a.msg);
    if (!msg) return false;
    auto list = get_list(w.doc, *msg, "reactions");
    if (!list) return false;
    auto at = reaction_index(*list, a.emoji, a.user);
    if (!at) return false;
    delete_index(w, *list, *at);
    return true;
  }

  bool operator()(const PinMessage& a) {
    auto msg = find_message(w.doc, a.channel, a.msg);
    return msg && put_bool_if_changed(w, *msg, "pinned", a.pinned);
  }

  bool operator()(const CreateChannel& a) {
    uint32_t order = next_channel_order(list_channels(w.doc), a.workspace, a.category);
    write_channel(w, a.id, a.workspace, a.category, a.name, "", a.kind, order);
    return true;
  }

  bool operator()(const CreateCategory& a) {
    write_category(w, a.id, a.workspace, a.name, next_category_order(list_categories(w.doc), a.workspace));
    return true;
  }

  bool operator()(const RenameCategory& a) {
    auto cat = record(key::categories, a.id);
    if (!cat) return false;
    put_str(w, *cat, "name", a.name);
    return true;
  }

  bool operator()(const DeleteCategory& a) {
    bool wrote = false;
    auto channels = list_channels(w.doc);
    auto channel_maps = get_map(w.doc, ROOT, key::channels);
    for (auto& c : channels) {
      if (c.category != a.id || !channel_maps) continue;
      auto map = get_map(w.doc, *channel_maps, c.id);
      if (!map) continue;
      uint32_t order = next_channel_order(channels, c.workspace, "");
      c.category.clear();
      c.order = order;
      put_str(w, *map, "category", "");
      put_int(w, *map, "order", order);
      wrote = true;
    }
    auto categories = get_map(w.doc, ROOT, key::categories);
    if (categories && w.doc.get(*categories, a.id)) {
      delete_key(w, *categories, a.id);
      wrote = true;
    }
    return wrote;
  }

  bool operator()(const SetCategoryCollapsed& a) {
    auto cat = record(key::categories, a.id);
    if (!cat) return false;
    put_bool(w, *cat, "collapsed", a.collapsed);
    return true;
  }

  bool operator()(const ReorderChannel& a) {
    auto channels = list_channels(w.doc);
    auto self = std::find_if(channels.begin(), channels.end(), [&](const Channel& c) { return c.id == a.id; });
    if (self == channels.end()) return false;
    std::vector<const Channel*> siblings;
    for (const auto& c : channels)
      if (c.workspace == self->workspace && c.category == self->category) siblings.push_back(&c);
    auto at = std::find(siblings.begin(), siblings.end(), &*self) - siblings.begin();
    auto neighbour_at = a.up ? at - 1 : at + 1;
    if (neighbour_at < 0 || neighbour_at >= static_cast<std::ptrdiff_t>(siblings.size())) return false;
    const Channel& neighbour = *siblings[static_cast<size_t>(neighbour_at)];
    auto self_map = record(key::channels, self->id);
    auto neighbour_map = record(key::channels, neighbour.id);
    if (!self_map || !neighbour_map) return false;
    put_int(w, *self_map, "order", neighbour.order);
    put_int(w, *neighbour_map, "order", self->order);
    return true;
  }

  bool operator()(const RenameChannel& a) {
    auto ch = record(key::channels, a.id);
    if (!ch) return false;
    put_str(w, *ch, "name", a.name);
    return true;
  }

  bool operator()(const DeleteChannel& a) {
    bool wrote = false;
    for (auto root_key : {key::channels, key::messages, key::voice, key::drafts}) {
      auto parent = get_map(w.doc, ROOT, root_key);
      if (!parent || !w.doc.get(*parent, a.id)) continue;
      delete_key(w, *parent, a.id);
      wrote = true;
    }
    return wrote;
  }

  bool operator()(const ArchiveChannel& a) {
    auto ch = record(key::channels, a.id);
    return ch && put_bool_if_changed(w, *ch, "archived", a.archived);
  }

  bool operator()(const MarkRead& a) {
    auto read = get_map(w.doc, ROOT, key::read);
    auto counts = read ? get_map(w.doc, *read, a.user) : std::nullopt;
    if (!counts) counts = ensure_map(w, ensure_map(w, ROOT, key::read), a.user);
    return put_int_if_changed(w, *counts, a.channel, a.count);
  }

  bool operator()(const SetAgentWork& a) {
    auto msg = find_message(w.doc, a.channel, a.msg);
    if (!msg) return false;
    bool wrote = false;
    auto current = read_work(w.doc, *msg);
    if (!current || *current != a.work) {
      write_work(w, *msg, current, a.work);
      wrote = true;
    }
    if (a.say && !a.say->empty()) {
      if (auto text = get_text(w.doc, *msg, "text"); text && w.doc.text(*text).empty()) {
        if (!w.tx.splice_text(*text, 0, 0, *a.say).ok()) fatal_write("splice text");
        wrote = true;
      }
    }
    return wrote;
  }

  bool operator()(const JoinCall& a) {
    ObjId p = participant(a.channel, a.user);
    if (w.doc.get(p, "talking")) return true;
    for (auto flag : {"talking", "muted", "deafened", "audio_only", "sharing"}) put_bool(w, p, flag, false);
    return true;
  }

  bool operator()(const LeaveCall& a) {
    auto voice = get_map(w.doc, ROOT, key::voice);
    auto call = voice ? get_map(w.doc, *voice, a.channel) : std::nullopt;
    if (!call || !w.doc.get(*call, a.user)) return false;
    delete_key(w, *call, a.user);
    return true;
  }

  // The four flags are compared with what is stored, so a repeated broadcast of the same call state
  // makes no change.
  bool operator()(const SetCallState& a) {
    ObjId p = participant(a.channel, a.user);
    bool wrote = put_bool_if_changed(w, p, "talking", a.talking);
    wrote |= put_bool_if_changed(w, p, "muted", a.muted);
    wrote |= put_bool_if_changed(w, p, "deafened", a.deafened);
    wrote |= put_bool_if_changed(w, p, "audio_only", a.audio_only);
    return wrote;
  }

  bool operator()(const SetScreenShare& a) {
    return put_bool_if_changed(w, participant(a.channel, a.user), "sharing", a.sharing);
  }

  bool operator()(const SetCallTicket& a) {
    return put_str_if_changed(w, participant(a.channel, a.user), "ticket", a.ticket);
  }
};

}  // namespace

bool apply_chat_action(DocWrite w, const ChatAction& action, MessageIndex* index) {
  return std::visit(Applier{w, index}, action);
}

}  // namespace chat
