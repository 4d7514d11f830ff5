#include "model/chat_action_json.h"

#include <functional>
#include <map>

#include "model/agent_work_json.h"
#include "model/json_fields.h"
#include "runtime/actions/strict_json.h"

namespace chat {

using ojson = nlohmann::ordered_json;
using kivo::Result;

std::string_view chat_action_name(const ChatAction& action) {
  static constexpr std::string_view names[] = {
      "SendMessage",    "EditMessage",   "DeleteMessage",  "AddReaction",   "RemoveReaction",
      "PinMessage",     "CreateChannel", "CreateCategory", "RenameCategory", "DeleteCategory",
      "SetCategoryCollapsed", "ReorderChannel", "RenameChannel", "DeleteChannel", "ArchiveChannel",
      "MarkRead",       "SetAgentWork",  "JoinCall",       "LeaveCall",     "SetCallState",
      "SetScreenShare", "SetCallTicket"};
  static_assert(std::size(names) == std::variant_size_v<ChatAction>);
  return names[action.index()];
}

// --- encoding ---

ojson to_json(const Attachment& attachment) {
  ojson body = ojson::object();
  const char* variant = "";
  std::visit(
      [&](const auto& a) {
        using T = std::decay_t<decltype(a)>;
        body["name"] = a.name;
        body["blob"] = a.blob;
        if constexpr (std::is_same_v<T, attachment::Image>) {
          variant = "Image";
          body["w"] = a.w;
          body["h"] = a.h;
        } else if constexpr (std::is_same_v<T, attachment::Video>) {
          variant = "Video";
          body["size"] = a.size;
          body["w"] = a.w;
          body["h"] = a.h;
        } else {
          variant = "File";
          body["size"] = a.size;
        }
      },
      attachment);
  ojson j = ojson::object();
  j[variant] = std::move(body);
  return j;
}

ojson to_json(const Mention& m) {
  ojson j = ojson::object();
  j["user"] = m.user;
  j["start"] = m.start;
  j["len"] = m.len;
  j["is_agent"] = m.is_agent;
  return j;
}

ojson resource_ref_json(const kivo_actions::ResourceRef& ref) {
  ojson j = ojson::object();
  j["kind"] = ref.kind;
  j["id"] = ref.id;
  j["label"] = ref.label;
  if (ref.span) {
    ojson span = ojson::object();
    span["start"] = ref.span->start;
    span["len"] = ref.span->len;
    j["span"] = std::move(span);
  } else {
    j["span"] = nullptr;
  }
  return j;
}

namespace {

template <typename T>
ojson optional_json(const std::optional<T>& v) {
  if (!v) return nullptr;
  if constexpr (std::is_same_v<T, std::string>) return *v;
  else if constexpr (std::is_same_v<T, kivo_actions::ResourceRef>) return resource_ref_json(*v);
  else return to_json(*v);
}

ojson body_of(const ChatAction& action) {
  ojson b = ojson::object();
  std::visit(
      [&](const auto& a) {
        using T = std::decay_t<decltype(a)>;
        using namespace action;
        if constexpr (std::is_same_v<T, SendMessage>) {
          b["channel"] = a.channel;
          b["id"] = a.id;
          b["author"] = a.author;
          b["ts"] = a.ts;
          b["text"] = a.text;
          b["parent"] = optional_json(a.parent);
          b["attachment"] = optional_json(a.attachment);
          ojson mentions = ojson::array();
          for (const auto& m : a.mentions) mentions.push_back(to_json(m));
          b["mentions"] = std::move(mentions);
          b["reference"] = optional_json(a.reference);
        } else if constexpr (std::is_same_v<T, EditMessage>) {
          b["channel"] = a.channel;
          b["id"] = a.id;
          b["text"] = a.text;
          b["ts"] = a.ts;
        } else if constexpr (std::is_same_v<T, DeleteMessage>) {
          b["channel"] = a.channel;
          b["id"] = a.id;
        } else if constexpr (std::is_same_v<T, AddReaction> || std::is_same_v<T, RemoveReaction>) {
          b["channel"] = a.channel;
          b["msg"] = a.msg;
          b["emoji"] = a.emoji;
          b["user"] = a.user;
        } else if constexpr (std::is_same_v<T, PinMessage>) {
          b["channel"] = a.channel;
          b["msg"] = a.msg;
          b["pinned"] = a.pinned;
        } else if constexpr (std::is_same_v<T, CreateChannel>) {
          b["workspace"] = a.workspace;
          b["category"] = a.category;
          b["id"] = a.id;
          b["name"] = a.name;
          b["kind"] = a.kind == ChannelKind::Voice ? "Voice" : "Text";
        } else if constexpr (std::is_same_v<T, CreateCategory>) {
          b["workspace"] = a.workspace;
          b["id"] = a.id;
          b["name"] = a.name;
        } else if constexpr (std::is_same_v<T, RenameCategory> || std::is_same_v<T, RenameChannel>) {
          b["id"] = a.id;
          b["name"] = a.name;
        } else if constexpr (std::is_same_v<T, DeleteCategory> || std::is_same_v<T, DeleteChannel>) {
          b["id"] = a.id;
        } else if constexpr (std::is_same_v<T, SetCategoryCollapsed>) {
          b["id"] = a.id;
          b["collapsed"] = a.collapsed;
        } else if constexpr (std::is_same_v<T, ReorderChannel>) {
          b["id"] = a.id;
          b["up"] = a.up;
        } else if constexpr (std::is_same_v<T, ArchiveChannel>) {
          b["id"] = a.id;
          b["archived"] = a.archived;
        } else if constexpr (std::is_same_v<T, MarkRead>) {
          b["channel"] = a.channel;
          b["user"] = a.user;
          b["count"] = a.count;
        } else if constexpr (std::is_same_v<T, SetAgentWork>) {
          b["channel"] = a.channel;
          b["msg"] = a.msg;
          b["work"] = to_json(a.work);
          b["say"] = optional_json(a.say);
        } else if constexpr (std::is_same_v<T, JoinCall> || std::is_same_v<T, LeaveCall>) {
          b["channel"] = a.channel;
          b["user"] = a.user;
        } else if constexpr (std::is_same_v<T, SetCallState>) {
          b["channel"] = a.channel;
          b["user"] = a.user;
          b["talking"] = a.talking;
          b["muted"] = a.muted;
          b["deafened"] = a.deafened;
          b["audio_only"] = a.audio_only;
        } else if constexpr (std::is_same_v<T, SetScreenShare>) {
          b["channel"] = a.channel;
          b["user"] = a.user;
          b["sharing"] = a.sharing;
        } else if constexpr (std::is_same_v<T, SetCallTicket>) {
          b["channel"] = a.channel;
          b["user"] = a.user;
          b["ticket"] = a.ticket;
        }
      },
      action);
  return b;
}

}  // namespace

ojson to_json(const ChatAction& action) {
  ojson j = ojson::object();
  j[std::string(chat_action_name(action))] = body_of(action);
  return j;
}

std::string encode_chat_action(const ChatAction& action) { return to_json(action).dump(); }

// --- decoding ---

Result<Attachment> attachment_from_json(const nlohmann::json& value) {
  KIVO_TRY_ASSIGN(v, json_variant(value, "attachment"));
  KIVO_TRY_ASSIGN(f, JsonFields::of(*v.body, v.name));
  if (v.name == "Image") {
    KIVO_TRY_ASSIGN(name, f.text("name"));
    KIVO_TRY_ASSIGN(blob, f.text("blob"));
    KIVO_TRY_ASSIGN(w, f.u32("w"));
    KIVO_TRY_ASSIGN(h, f.u32("h"));
    return Attachment{attachment::Image{name, blob, w, h}};
  }
  if (v.name == "Video") {
    KIVO_TRY_ASSIGN(name, f.text("name"));
    KIVO_TRY_ASSIGN(blob, f.text("blob"));
    KIVO_TRY_ASSIGN(size, f.u64("size"));
    KIVO_TRY_ASSIGN(w, f.u32("w"));
    KIVO_TRY_ASSIGN(h, f.u32("h"));
    return Attachment{attachment::Video{name, blob, size, w, h}};
  }
  if (v.name == "File") {
    KIVO_TRY_ASSIGN(name, f.text("name"));
    KIVO_TRY_ASSIGN(blob, f.text("blob"));
    KIVO_TRY_ASSIGN(size, f.u64("size"));
    return Attachment{attachment::File{name, blob, size}};
  }
  return kivo::make_error("unknown attachment variant \"" + v.name + "\", expected Image, Video or File");
}

Result<Mention> mention_from_json(const nlohmann::json& value) {
  KIVO_TRY_ASSIGN(f, JsonFields::of(value, "mention"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  KIVO_TRY_ASSIGN(start, f.u64("start"));
  KIVO_TRY_ASSIGN(len, f.u64("len"));
  KIVO_TRY_ASSIGN(is_agent, f.boolean("is_agent"));
  return Mention{user, start, len, is_agent};
}

namespace {

Result<ChannelKind> channel_kind_from(const JsonFields& f, std::string_view name) {
  KIVO_TRY_ASSIGN(v, f.required(name));
  if (v->is_string()) {
    if (*v == "Text") return ChannelKind::Text;
    if (*v == "Voice") return ChannelKind::Voice;
    return kivo::make_error("unknown channel kind \"" + v->get<std::string>() + "\" in " + f.where() +
                            ", expected Text or Voice");
  }
  return f.wrong_type(name, "a string", *v);
}

Result<std::optional<kivo_actions::ResourceRef>> reference_from(const JsonFields& f) {
  const auto* v = f.find_non_null("reference");
  if (!v) return std::optional<kivo_actions::ResourceRef>();
  if (!v->is_object()) return f.wrong_type("reference", "an object or null", *v);
  auto ref = kivo_actions::resource_ref_from_json(*v);
  if (!ref) return kivo::make_error("invalid \"reference\" in " + f.where() + ": expected {kind, id, label, span}");
  return std::optional<kivo_actions::ResourceRef>(std::move(*ref));
}

using namespace action;
using Decoder = std::function<Result<ChatAction>(const JsonFields&)>;

Result<ChatAction> send_message(const JsonFields& f) {
  SendMessage a;
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(id, f.text("id"));
  KIVO_TRY_ASSIGN(author, f.text("author"));
  KIVO_TRY_ASSIGN(ts, f.i64("ts"));
  KIVO_TRY_ASSIGN(text, f.text("text"));
  KIVO_TRY_ASSIGN(parent, f.optional_text("parent"));
  a.channel = channel;
  a.id = id;
  a.author = author;
  a.ts = ts;
  a.text = text;
  a.parent = parent;
  if (const auto* att = f.find_non_null("attachment")) {
    KIVO_TRY_ASSIGN(attachment, attachment_from_json(*att));
    a.attachment = attachment;
  }
  if (const auto* ms = f.find("mentions")) {
    if (!ms->is_array()) return f.wrong_type("mentions", "an array", *ms);
    for (const auto& m : *ms) {
      KIVO_TRY_ASSIGN(mention, mention_from_json(m));
      a.mentions.push_back(std::move(mention));
    }
  }
  KIVO_TRY_ASSIGN(reference, reference_from(f));
  a.reference = reference;
  return ChatAction{std::move(a)};
}

Result<ChatAction> edit_message(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(id, f.text("id"));
  KIVO_TRY_ASSIGN(text, f.text("text"));
  KIVO_TRY_ASSIGN(ts, f.i64("ts"));
  return ChatAction{EditMessage{channel, id, text, ts}};
}

Result<ChatAction> delete_message(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(id, f.text("id"));
  return ChatAction{DeleteMessage{channel, id}};
}

template <typename T>
Result<ChatAction> reaction(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(msg, f.text("msg"));
  KIVO_TRY_ASSIGN(emoji, f.text("emoji"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  return ChatAction{T{channel, msg, emoji, user}};
}

Result<ChatAction> pin_message(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(msg, f.text("msg"));
  KIVO_TRY_ASSIGN(pinned, f.boolean("pinned"));
  return ChatAction{PinMessage{channel, msg, pinned}};
}

Result<ChatAction> create_channel(const JsonFields& f) {
  KIVO_TRY_ASSIGN(workspace, f.text("workspace"));
  KIVO_TRY_ASSIGN(category, f.text("category"));
  KIVO_TRY_ASSIGN(id, f.text("id"));
  KIVO_TRY_ASSIGN(name, f.text("name"));
  KIVO_TRY_ASSIGN(kind, channel_kind_from(f, "kind"));
  return ChatAction{CreateChannel{workspace, category, id, name, kind}};
}

Result<ChatAction> create_category(const JsonFields& f) {
  KIVO_TRY_ASSIGN(workspace, f.text("workspace"));
  KIVO_TRY_ASSIGN(id, f.text("id"));
  KIVO_TRY_ASSIGN(name, f.text("name"));
  return ChatAction{CreateCategory{workspace, id, name}};
}

template <typename T>
Result<ChatAction> id_name(const JsonFields& f) {
  KIVO_TRY_ASSIGN(id, f.text("id"));
  KIVO_TRY_ASSIGN(name, f.text("name"));
  return ChatAction{T{id, name}};
}

template <typename T>
Result<ChatAction> id_only(const JsonFields& f) {
  KIVO_TRY_ASSIGN(id, f.text("id"));
  return ChatAction{T{id}};
}

template <typename T>
Decoder id_flag(const char* flag) {
  return [flag](const JsonFields& f) -> Result<ChatAction> {
    KIVO_TRY_ASSIGN(id, f.text("id"));
    KIVO_TRY_ASSIGN(value, f.boolean(flag));
    return ChatAction{T{id, value}};
  };
}

Result<ChatAction> mark_read(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  KIVO_TRY_ASSIGN(count, f.i64("count"));
  return ChatAction{MarkRead{channel, user, count}};
}

Result<ChatAction> set_agent_work(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(msg, f.text("msg"));
  KIVO_TRY_ASSIGN(work_json, f.required("work"));
  auto work = agent_work_from_json(*work_json);
  if (!work.ok()) return kivo::make_error("invalid \"work\" in SetAgentWork: " + work.error().message);
  KIVO_TRY_ASSIGN(say, f.optional_text("say"));
  return ChatAction{SetAgentWork{channel, msg, std::move(work).value(), say}};
}

template <typename T>
Result<ChatAction> channel_user(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  return ChatAction{T{channel, user}};
}

Result<ChatAction> set_call_state(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  KIVO_TRY_ASSIGN(talking, f.boolean("talking"));
  KIVO_TRY_ASSIGN(muted, f.boolean("muted"));
  KIVO_TRY_ASSIGN(deafened, f.boolean("deafened"));
  KIVO_TRY_ASSIGN(audio_only, f.boolean("audio_only"));
  return ChatAction{SetCallState{channel, user, talking, muted, deafened, audio_only}};
}

Result<ChatAction> set_screen_share(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  KIVO_TRY_ASSIGN(sharing, f.boolean("sharing"));
  return ChatAction{SetScreenShare{channel, user, sharing}};
}

Result<ChatAction> set_call_ticket(const JsonFields& f) {
  KIVO_TRY_ASSIGN(channel, f.text("channel"));
  KIVO_TRY_ASSIGN(user, f.text("user"));
  KIVO_TRY_ASSIGN(ticket, f.text("ticket"));
  return ChatAction{SetCallTicket{channel, user, ticket}};
}

const std::map<std::string, Decoder, std::less<>>& decoders() {
  static const std::map<std::string, Decoder, std::less<>> table = {
      {"SendMessage", send_message},
      {"EditMessage", edit_message},
      {"DeleteMessage", delete_message},
      {"AddReaction", reaction<AddReaction>},
      {"RemoveReaction", reaction<RemoveReaction>},
      {"PinMessage", pin_message},
      {"CreateChannel", create_channel},
      {"CreateCategory", create_category},
      {"RenameCategory", id_name<RenameCategory>},
      {"DeleteCategory", id_only<DeleteCategory>},
      {"SetCategoryCollapsed", id_flag<SetCategoryCollapsed>("collapsed")},
      {"ReorderChannel", id_flag<ReorderChannel>("up")},
      {"RenameChannel", id_name<RenameChannel>},
      {"DeleteChannel", id_only<DeleteChannel>},
      {"ArchiveChannel", id_flag<ArchiveChannel>("archived")},
      {"MarkRead", mark_read},
      {"SetAgentWork", set_agent_work},
      {"JoinCall", channel_user<JoinCall>},
      {"LeaveCall", channel_user<LeaveCall>},
      {"SetCallState", set_call_state},
      {"SetScreenShare", set_screen_share},
      {"SetCallTicket", set_call_ticket},
  };
  return table;
}

}  // namespace

Result<ChatAction> decode_chat_action_json(const nlohmann::json& value) {
  if (kivo_actions::json_deeper_than(value))
    return kivo::make_error("invalid chat action: nesting deeper than " + std::to_string(kivo_actions::kMaxJsonDepth) +
                            " levels");
  KIVO_TRY_ASSIGN(v, json_variant(value, "chat action"));
  auto it = decoders().find(v.name);
  if (it == decoders().end()) return kivo::make_error("unknown chat action variant \"" + v.name + "\"");
  KIVO_TRY_ASSIGN(f, JsonFields::of(*v.body, v.name));
  return it->second(f);
}

Result<ChatAction> decode_chat_action(std::string_view text) {
  auto parsed = kivo_actions::parse_strict_json(text);
  if (!parsed.ok()) return kivo::make_error("invalid chat action JSON: " + parsed.error().message);
  return decode_chat_action_json(parsed.value());
}

}  // namespace chat
