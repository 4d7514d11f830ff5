#include "model/drafts.h"

namespace chat {

using kivo::doc::ROOT;

void set_draft(DocWrite w, std::string_view draft_key, std::string_view text) {
  ObjId draft = ensure_text(w, ensure_map(w, ROOT, key::drafts), draft_key);
  set_text(w, draft, text);
}

void clear_draft(DocWrite w, std::string_view draft_key) { set_draft(w, draft_key, ""); }

std::string read_draft(const Document& doc, std::string_view draft_key) {
  auto drafts = get_map(doc, ROOT, key::drafts);
  if (!drafts) return {};
  return read_text_or_string(doc, *drafts, draft_key).value_or(std::string());
}

std::map<std::string, std::string> read_drafts(const Document& doc) {
  std::map<std::string, std::string> out;
  auto drafts = get_map(doc, ROOT, key::drafts);
  if (!drafts) return out;
  for (const auto& k : doc.keys(*drafts))
    if (auto text = read_text_or_string(doc, *drafts, k)) out[k] = *text;
  return out;
}

}  // namespace chat
