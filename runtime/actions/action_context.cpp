#include "runtime/actions/action_context.h"

#include <cctype>

namespace kivo_actions {

ActionContext ActionContext::enriched_by(const ActionContext& host) const {
  ActionContext out = *this;
  auto fill = [](std::string& field, const std::string& from) {
    if (field.empty()) field = from;
  };
  fill(out.app_id, host.app_id);
  fill(out.app_name, host.app_name);
  fill(out.verb, host.verb);
  fill(out.label, host.label);
  fill(out.resource_kind, host.resource_kind);
  fill(out.resource_address, host.resource_address);
  fill(out.resource_label, host.resource_label);
  return out;
}

namespace context {

std::string humanize_identifier(std::string_view identifier) {
  std::string out;
  auto push_word_break = [&] {
    if (!out.empty() && out.back() != ' ') out.push_back(' ');
  };
  for (size_t i = 0; i < identifier.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(identifier[i]);
    if (c == '_' || c == '-' || c == ' ' || c == '.') {
      push_word_break();
      continue;
    }
    if (std::isupper(c)) {
      // A capital starts a word, except inside a run of capitals ("URLPath" -> "Url path").
      bool prev_upper = i > 0 && std::isupper(static_cast<unsigned char>(identifier[i - 1]));
      bool next_lower = i + 1 < identifier.size() && std::islower(static_cast<unsigned char>(identifier[i + 1]));
      if (i > 0 && (!prev_upper || next_lower)) push_word_break();
      c = static_cast<unsigned char>(std::tolower(c));
    }
    out.push_back(static_cast<char>(c));
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  return out;
}

}  // namespace context
}  // namespace kivo_actions
