#include "runtime/ui/access_node.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "runtime/ui/fnv.h"

namespace kivo_ui::a11y {
namespace {

struct RoleInfo {
  Role role;
  std::string_view name;
};

constexpr std::array<RoleInfo, 23> kRoles = {{
    {Role::Window, "window"},         {Role::Group, "group"},
    {Role::List, "list"},             {Role::ListItem, "list-item"},
    {Role::Button, "button"},         {Role::ToggleButton, "toggle-button"},
    {Role::CheckBox, "check-box"},    {Role::Tab, "tab"},
    {Role::TabList, "tab-list"},      {Role::TextInput, "text-input"},
    {Role::TextArea, "text-area"},    {Role::Heading, "heading"},
    {Role::Link, "link"},             {Role::Menu, "menu"},
    {Role::MenuItem, "menu-item"},    {Role::StaticText, "static-text"},
    {Role::Image, "image"},           {Role::Toolbar, "toolbar"},
    {Role::Dialog, "dialog"},         {Role::ScrollView, "scroll-view"},
    {Role::Slider, "slider"},         {Role::ProgressBar, "progress-bar"},
    {Role::Tooltip, "tooltip"},
}};

struct ActionInfo {
  ActionKind kind;
  std::string_view name;
};

constexpr std::array<ActionInfo, 14> kActions = {{
    {ActionKind::Activate, "activate"},
    {ActionKind::Focus, "focus"},
    {ActionKind::Blur, "blur"},
    {ActionKind::SetValue, "set-value"},
    {ActionKind::ReplaceSelectedText, "replace-selected-text"},
    {ActionKind::ScrollIntoView, "scroll-into-view"},
    {ActionKind::ScrollUp, "scroll-up"},
    {ActionKind::ScrollDown, "scroll-down"},
    {ActionKind::Increment, "increment"},
    {ActionKind::Decrement, "decrement"},
    {ActionKind::Expand, "expand"},
    {ActionKind::Collapse, "collapse"},
    {ActionKind::ShowMenu, "show-menu"},
    {ActionKind::Dismiss, "dismiss"},
}};

uint64_t hash_text(std::string_view text, uint64_t hash) { return fnv1a64_byte(0xFF, fnv1a64(text, hash)); }

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not valid.
size_t utf8_sequence(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t b = byte(i);
  if (b < 0x80) return 1;
  size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (len == 0 || b > 0xF4 || i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  uint8_t b1 = byte(i + 1);
  if (b == 0xE0 && b1 < 0xA0) return 0;  // overlong
  if (b == 0xED && b1 >= 0xA0) return 0;  // surrogate
  if (b == 0xF0 && b1 < 0x90) return 0;  // overlong
  if (b == 0xF4 && b1 >= 0x90) return 0;  // above U+10FFFF
  return len;
}

std::string valid_utf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t len = utf8_sequence(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

}  // namespace

std::string_view role_name(Role role) {
  for (const auto& r : kRoles)
    if (r.role == role) return r.name;
  return "unknown";
}

std::string_view action_name(ActionKind kind) {
  for (const auto& a : kActions)
    if (a.kind == kind) return a.name;
  return "unknown";
}

std::optional<ActionKind> action_from_name(std::string_view name) {
  for (const auto& a : kActions)
    if (a.name == name) return a.kind;
  return std::nullopt;
}

bool is_activating(ActionKind kind) { return kind == ActionKind::Activate; }

bool changes_text(ActionKind kind) { return kind == ActionKind::SetValue || kind == ActionKind::ReplaceSelectedText; }

std::vector<ActionKind> default_actions(Role role) {
  using A = ActionKind;
  switch (role) {
    case Role::Button:
    case Role::ToggleButton:
    case Role::CheckBox:
    case Role::Tab:
    case Role::Link:
    case Role::MenuItem: return {A::Activate, A::Focus, A::ScrollIntoView};
    case Role::ListItem: return {A::Activate, A::Focus, A::ScrollIntoView, A::ShowMenu};
    case Role::TextInput:
    case Role::TextArea: return {A::Focus, A::Blur, A::SetValue, A::ReplaceSelectedText, A::ScrollIntoView};
    case Role::Slider: return {A::Focus, A::Increment, A::Decrement, A::SetValue};
    case Role::ScrollView:
    case Role::List: return {A::ScrollUp, A::ScrollDown};
    case Role::Menu:
    case Role::Dialog: return {A::Dismiss};
    default: return {};
  }
}

uint64_t node_id(std::string_view key) { return hash_text(key, kFnvOffsetBasis); }

uint64_t node_id(std::string_view first, std::string_view second) {
  return hash_text(second, hash_text(first, kFnvOffsetBasis));
}

AccessNode AccessNode::keyed(std::string key, Role role, std::string label) {
  AccessNode node;
  node.id = node_id(key);
  node.key = std::move(key);
  node.role = role;
  node.label = std::move(label);
  node.actions = default_actions(role);
  node.focusable = node.supports(ActionKind::Focus);
  return node;
}

AccessNode AccessNode::keyed_pair(std::string_view first, std::string_view second, Role role, std::string label) {
  AccessNode node = keyed(std::string(first) + "/" + std::string(second), role, std::move(label));
  node.id = node_id(first, second);
  return node;
}

AccessNode AccessNode::with_children(std::vector<AccessNode> nodes) && {
  children = std::move(nodes);
  return std::move(*this);
}

bool AccessNode::supports(ActionKind kind) const {
  return std::find(actions.begin(), actions.end(), kind) != actions.end();
}

const AccessNode* AccessNode::find(std::string_view wanted) const {
  if (key == wanted) return this;
  for (const auto& child : children)
    if (const AccessNode* found = child.find(wanted)) return found;
  return nullptr;
}

const AccessNode* AccessNode::find(uint64_t wanted) const {
  if (id == wanted) return this;
  for (const auto& child : children)
    if (const AccessNode* found = child.find(wanted)) return found;
  return nullptr;
}

size_t AccessNode::count() const {
  size_t n = 1;
  for (const auto& child : children) n += child.count();
  return n;
}

nlohmann::json to_json(const AccessNode& node) {
  char id[17];
  std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(node.id));
  nlohmann::json j = {
      {"id", id},
      {"key", valid_utf8(node.key)},
      {"role", role_name(node.role)},
      {"label", valid_utf8(node.label)},
      {"value", valid_utf8(node.value)},
      {"description", valid_utf8(node.description)},
      {"focusable", node.focusable},
      {"focused", node.focused},
      {"selected", node.selected},
  };
  j["selection"] = node.selection ? nlohmann::json{{"anchor", node.selection->anchor}, {"focus", node.selection->focus}}
                                  : nlohmann::json(nullptr);
  j["bounds"] = node.bounds ? nlohmann::json{{"x", node.bounds->x}, {"y", node.bounds->y}, {"w", node.bounds->w},
                                             {"h", node.bounds->h}}
                            : nlohmann::json(nullptr);
  j["toggled"] = node.toggled ? nlohmann::json(*node.toggled) : nlohmann::json(nullptr);
  nlohmann::json actions = nlohmann::json::array();
  for (ActionKind kind : node.actions) actions.push_back(action_name(kind));
  j["actions"] = std::move(actions);
  nlohmann::json children = nlohmann::json::array();
  for (const auto& child : node.children) children.push_back(to_json(child));
  j["children"] = std::move(children);
  return j;
}

}  // namespace kivo_ui::a11y
