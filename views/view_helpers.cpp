#include "views/view_helpers.h"

#include "runtime/ui/avatar.h"

namespace chat {

namespace {
bool blank(std::string_view s) { return s.find_first_not_of(" \t\r\n") == std::string_view::npos; }
}  // namespace

std::string short_id(std::string_view id) {
  size_t cut = id.find_last_of("@:");
  std::string_view tail = cut == std::string_view::npos ? id : id.substr(cut + 1);
  if (tail.empty()) return std::string(id);
  // The last four characters (not bytes), so that a multi-byte tail is never split.
  size_t pos = tail.size();
  for (int n = 0; n < 4 && pos > 0;) {
    --pos;
    if ((static_cast<unsigned char>(tail[pos]) & 0xC0) != 0x80) ++n;
  }
  return std::string(tail.substr(pos));
}

const Person* workspace_person(const ChatState& state, std::string_view id) {
  for (const auto& p : state.model.workspace_people)
    if (p.id == id) return &p;
  return nullptr;
}

std::string display_name(const ChatState& state, std::string_view id) {
  if (state.identity.is_local(id)) return "You";
  std::string name;
  if (auto it = state.identity.peer_names.find(std::string(id)); it != state.identity.peer_names.end() && !blank(it->second))
    name = it->second;
  else if (const Person* p = workspace_person(state, id); p && !blank(p->name))
    name = p->name;
  else
    name = std::string(id);
  if (name == id || blank(name)) return "Someone (" + short_id(id) + ")";
  return name;
}

kivo_ui::Color color_for_index(const kivo_ui::Theme& theme, uint64_t color_idx) {
  return theme.palette_color(int(color_idx % 8));
}

std::string initials_for(std::string_view name) {
  std::string s = kivo_ui::Avatar::initials_for_name(name);
  return s.empty() ? "Y" : s;
}

}  // namespace chat
