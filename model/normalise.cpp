#include "model/normalise.h"

#include <utility>
#include <vector>

namespace chat {

using kivo::doc::ObjType;
using kivo::doc::ROOT;

size_t normalise_attachments(DocWrite w) {
  auto messages = get_map(w.doc, ROOT, key::messages);
  if (!messages) return 0;
  std::vector<std::pair<ObjId, std::string>> found;
  size_t keys_seen = 0, visited = 0;
  for (const auto& channel : w.doc.keys(*messages)) {
    if (keys_seen++ >= kNormaliseChannelKeys) break;
    auto list = get_list(w.doc, *messages, channel);
    if (!list) continue;
    size_t length = w.doc.length(*list);
    for (size_t i = 0; i < length && visited < kNormaliseMessages; ++i, ++visited) {
      auto element = w.doc.get(*list, i);
      if (!element) continue;
      auto msg = as_map(*element);
      if (!msg) continue;
      auto attachment = get_map(w.doc, *msg, "attachment");
      if (!attachment) continue;
      auto blob = read_string(w.doc, *attachment, "blob");
      if (blob && !blob->empty()) continue;
      auto path = read_string(w.doc, *attachment, "path");
      if (path && path->size() <= 256 && path->starts_with("kivo-demo://")) found.emplace_back(*attachment, *path);
    }
    if (visited >= kNormaliseMessages) break;
  }
  size_t rewritten = 0;
  for (const auto& [attachment, path] : found) {
    if (rewritten >= kNormaliseRewrites) break;
    put_str(w, attachment, "blob", path);
    delete_key(w, attachment, "path");
    ++rewritten;
  }
  return rewritten;
}

}  // namespace chat
