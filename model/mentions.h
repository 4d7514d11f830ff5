// Mention detection: finds "@Name" mentions of the given people in a message text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/chat_records.h"

namespace chat {

struct MentionCandidate {
  std::string id;
  std::string name;
  bool agent = false;
};

// Longest names win; an "@" counts only at the start or after white space; a match must end at the
// end of the text or before a character that is not alphanumeric; matching ignores case (Unicode).
std::vector<Mention> find_mentions(std::string_view text, const std::vector<MentionCandidate>& people);
std::vector<Mention> find_mentions(std::string_view text, const std::vector<Person>& people);

}  // namespace chat
