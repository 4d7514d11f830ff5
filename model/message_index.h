// MessageIndex: where each message id of the document lives, so that the duplicate-id check of a new
// message does not walk every channel. The index is valid for one set of document heads and is
// rebuilt when the document has moved on without it (a merge, another writer).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "runtime/doc/document.h"

namespace chat {

class MessageIndex {
public:
  // The channel whose list held `id` when last seen; rebuilds first when `doc` is at other heads.
  // A hit may be stale (the message was deleted since); callers confirm it with find_message.
  std::optional<std::string> channel_of(const kivo::doc::Document& doc, std::string_view id);
  void note_inserted(std::string_view id, std::string_view channel);  // a message written just now
  // The document went from `before` to `after` by writes that were all noted here.
  void advance(const kivo::doc::Heads& before, const kivo::doc::Heads& after);
  void invalidate() { m_heads.reset(); }
  size_t rebuilds() const { return m_rebuilds; }  // how often the whole document was walked

private:
  void rebuild(const kivo::doc::Document& doc);
  std::optional<kivo::doc::Heads> m_heads;
  std::unordered_map<std::string, std::string> m_channel_of;
  size_t m_rebuilds = 0;
};

}  // namespace chat
