#include "model/message_index.h"

#include "model/workspace_doc.h"

namespace chat {

std::optional<std::string> MessageIndex::channel_of(const Document& doc, std::string_view id) {
  if (!m_heads || *m_heads != doc.heads()) rebuild(doc);
  auto it = m_channel_of.find(std::string(id));
  if (it == m_channel_of.end()) return std::nullopt;
  return it->second;
}

void MessageIndex::note_inserted(std::string_view id, std::string_view channel) {
  m_channel_of.insert_or_assign(std::string(id), std::string(channel));
}

void MessageIndex::advance(const kivo::doc::Heads& before, const kivo::doc::Heads& after) {
  if (m_heads && *m_heads == before) m_heads = after;
}

void MessageIndex::rebuild(const Document& doc) {
  ++m_rebuilds;
  m_channel_of.clear();
  m_heads = doc.heads();
  auto messages = get_map(doc, kivo::doc::ROOT, key::messages);
  if (!messages) return;
  doc.for_each_entry(*messages, [&](const std::string& channel, const kivo::doc::Value& value) {
    const auto* ref = value.object();
    if (!ref || ref->type != kivo::doc::ObjType::List) return;
    doc.for_each_element(ref->id, [&](size_t, const kivo::doc::Value& element) {
      auto map = as_map(element);
      if (!map) return;
      if (auto id = read_string(doc, *map, "id")) m_channel_of.try_emplace(*id, channel);
    });
  });
}

}  // namespace chat
