#include "model/model_json.h"

#include "model/agent_work_json.h"
#include "model/chat_action_json.h"
#include "model/drafts.h"
#include "model/hydration.h"

namespace chat {

using ojson = nlohmann::ordered_json;

namespace {
const char* presence_name(Presence p) {
  switch (p) {
    case Presence::Idle: return "Idle";
    case Presence::Dnd: return "Dnd";
    case Presence::Offline: return "Offline";
    case Presence::Online: break;
  }
  return "Online";
}

ojson attachment_record(const Attachment& attachment) {
  ojson j = ojson::object();
  std::visit(
      [&](const auto& a) {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<T, attachment::Image>) j["kind"] = "image";
        if constexpr (std::is_same_v<T, attachment::Video>) j["kind"] = "video";
        if constexpr (std::is_same_v<T, attachment::File>) j["kind"] = "file";
        j["name"] = a.name;
        j["blob"] = a.blob;
        if constexpr (!std::is_same_v<T, attachment::Image>) j["size"] = a.size;
        if constexpr (!std::is_same_v<T, attachment::File>) {
          j["w"] = a.w;
          j["h"] = a.h;
        }
      },
      attachment);
  return j;
}
}  // namespace

ojson record_json(const Workspace& w) {
  return ojson{{"id", w.id}, {"name", w.name}, {"glyph", w.glyph}, {"color_idx", w.color_idx}, {"order", w.order}};
}

ojson record_json(const Category& c) {
  return ojson{{"id", c.id}, {"workspace", c.workspace}, {"name", c.name}, {"order", c.order},
               {"collapsed", c.collapsed}};
}

ojson record_json(const Channel& c) {
  return ojson{{"id", c.id},       {"workspace", c.workspace}, {"category", c.category},
               {"name", c.name},   {"topic", c.topic},         {"order", c.order},
               {"kind", c.kind == ChannelKind::Voice ? "Voice" : "Text"}, {"archived", c.archived}};
}

ojson record_json(const Person& p) {
  return ojson{{"id", p.id},       {"name", p.name}, {"initials", p.initials}, {"color_idx", p.color_idx},
               {"presence", presence_name(p.presence)}, {"agent", p.agent}};
}

ojson record_json(const Message& m) {
  ojson j = ojson::object();
  j["id"] = m.id;
  j["channel"] = m.channel;
  j["author"] = m.author;
  j["ts"] = m.ts;
  j["text"] = m.text;
  j["parent"] = m.parent ? ojson(*m.parent) : ojson(nullptr);
  j["edited"] = m.edited;
  ojson history = ojson::array();
  for (const auto& h : m.history) history.push_back(ojson{{"ts", h.ts}, {"text", h.text}});
  j["history"] = std::move(history);
  ojson reactions = ojson::array();
  for (const auto& g : m.reactions) reactions.push_back(ojson{{"emoji", g.emoji}, {"users", g.users}});
  j["reactions"] = std::move(reactions);
  ojson mentions = ojson::array();
  for (const auto& x : m.mentions) mentions.push_back(to_json(x));
  j["mentions"] = std::move(mentions);
  j["reference"] = m.reference ? resource_ref_json(*m.reference) : ojson(nullptr);
  j["attachment"] = m.attachment ? attachment_record(*m.attachment) : ojson(nullptr);
  j["pinned"] = m.pinned;
  j["work"] = m.work ? to_json(*m.work) : ojson(nullptr);
  return j;
}

ojson record_json(const CallParticipant& p) {
  return ojson{{"user", p.user},         {"ticket", p.ticket},         {"talking", p.talking},
               {"muted", p.muted},       {"deafened", p.deafened},     {"audio_only", p.audio_only},
               {"sharing", p.sharing}};
}

ojson model_json(const kivo::doc::Document& doc) {
  auto list = [](const auto& records) {
    ojson out = ojson::array();
    for (const auto& r : records) out.push_back(record_json(r));
    return out;
  };
  ojson j = ojson::object();
  j["workspaces"] = list(list_workspaces(doc));
  j["categories"] = list(list_categories(doc));
  j["channels"] = list(list_channels(doc));
  j["people"] = list(list_people(doc));
  ojson messages = ojson::object();
  for (const auto& channel : message_channels(doc)) messages[channel] = list(load_messages(doc, channel));
  j["messages"] = std::move(messages);
  ojson participants = ojson::object();
  for (const auto& channel : voice_channels(doc)) participants[channel] = list(call_participants(doc, channel));
  j["participants"] = std::move(participants);
  ojson read = ojson::object();
  for (const auto& [user, counts] : read_counts(doc)) {
    ojson row = ojson::object();
    for (const auto& [channel, count] : counts) row[channel] = count;
    read[user] = std::move(row);
  }
  j["read"] = std::move(read);
  ojson drafts = ojson::object();
  for (const auto& [k, text] : read_drafts(doc)) drafts[k] = text;
  j["drafts"] = std::move(drafts);
  return j;
}

}  // namespace chat
