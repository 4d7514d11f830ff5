// Drafts: one collaborative text per draft key under "drafts" (the key of a channel's main draft is
// the channel id). Edits are spliced in with the smallest change so concurrent typing merges.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "model/workspace_doc.h"

namespace chat {

void set_draft(DocWrite w, std::string_view draft_key, std::string_view text);
void clear_draft(DocWrite w, std::string_view draft_key);  // the empty text: no draft
std::string read_draft(const Document& doc, std::string_view draft_key);  // text object or str; else empty
std::map<std::string, std::string> read_drafts(const Document& doc);     // every draft key with its text

}  // namespace chat
