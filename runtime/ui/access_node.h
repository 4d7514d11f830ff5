// Accessibility nodes: the tree that assistive technology and automation see of a window, with
// the roles of its nodes and the semantic actions they accept. Widgets build a fresh tree on
// request; node ids are derived from stable keys so they survive from frame to frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/ui/geometry.h"

namespace kivo_ui::a11y {

enum class Role : uint8_t {
  Window,
  Group,
  List,
  ListItem,
  Button,
  ToggleButton,
  CheckBox,
  Tab,
  TabList,
  TextInput,  // single-line text field
  TextArea,   // multi-line text field
  Heading,
  Link,
  Menu,
  MenuItem,
  StaticText,
  Image,
  Toolbar,
  Dialog,
  ScrollView,
  Slider,
  ProgressBar,
  Tooltip,
};

enum class ActionKind : uint8_t {
  Activate,             // press / click / choose
  Focus,
  Blur,
  SetValue,             // replace the whole text or value (text: the new value)
  ReplaceSelectedText,  // replace the selection (text: the replacement)
  ScrollIntoView,
  ScrollUp,
  ScrollDown,
  Increment,
  Decrement,
  Expand,
  Collapse,
  ShowMenu,             // open the node's context menu
  Dismiss,              // close a menu, dialog or popover
};

std::string_view role_name(Role role);                         // "button", "text-area", ...
std::string_view action_name(ActionKind kind);                 // "activate", "set-value", ...
std::optional<ActionKind> action_from_name(std::string_view name);  // inverse of action_name
bool is_activating(ActionKind kind);    // acts like a pointer press on the node
bool changes_text(ActionKind kind);     // SetValue and ReplaceSelectedText
std::vector<ActionKind> default_actions(Role role);  // what a node of this role normally accepts

// One semantic action as it arrives from assistive technology or automation.
struct SemanticAction {
  ActionKind kind = ActionKind::Activate;
  std::string text;  // the value for SetValue and ReplaceSelectedText
};

struct TextSelection {
  uint32_t anchor = 0;  // positions in the value, as the text field reports them
  uint32_t focus = 0;
  bool operator==(const TextSelection&) const = default;
};

// Node ids: 64-bit FNV-1a over a text's bytes followed by 0xFF; a pair hashes its parts in order.
uint64_t node_id(std::string_view key);
uint64_t node_id(std::string_view first, std::string_view second);

struct AccessNode {
  uint64_t id = 0;
  std::string key;                         // what semantic actions address ("chat.send"); may be empty
  Role role = Role::Group;
  std::string label;                       // the accessible name
  std::string value;                       // text fields, sliders
  std::string description;
  std::optional<TextSelection> selection;  // text fields
  std::optional<Rect> bounds;              // window coordinates
  bool focusable = false;
  bool focused = false;
  bool selected = false;
  std::optional<bool> toggled;             // toggle buttons and check boxes only
  std::vector<ActionKind> actions;         // supported semantic actions
  std::vector<AccessNode> children;

  // A node whose id comes from `key`, with the default actions of its role.
  static AccessNode keyed(std::string key, Role role, std::string label = {});
  // As keyed, for a pair key; `key` becomes "first/second".
  static AccessNode keyed_pair(std::string_view first, std::string_view second, Role role, std::string label = {});

  AccessNode with_children(std::vector<AccessNode> nodes) &&;  // this node with these children
  bool supports(ActionKind kind) const;
  const AccessNode* find(std::string_view key) const;  // depth first, this node included
  const AccessNode* find(uint64_t id) const;
  size_t count() const;                                // nodes in this subtree
};

// The JSON form served to automation: ids as 16 hex digits, absent values as null, invalid
// UTF-8 in texts replaced by U+FFFD so that the result always serialises.
nlohmann::json to_json(const AccessNode& node);

}  // namespace kivo_ui::a11y
