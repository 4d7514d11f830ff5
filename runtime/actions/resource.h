// Resource: an addressable thing (workspace, channel, message, ...) with its actions and children.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/actions/action_spec.h"

namespace kivo_actions {

struct Resource {
  std::string address;  // e.g. "chat.channel:c_general"
  std::string kind;     // e.g. "chat.channel"
  std::string label;    // e.g. "#general"
  std::vector<ActionSpec> actions;
  std::vector<Resource> children;

  Resource&& with_action(ActionSpec action) &&;
  Resource&& with_child(Resource child) &&;
  Resource& with_action(ActionSpec action) &;
  Resource& with_child(Resource child) &;

  const ActionSpec* find_action(std::string_view id) const;  // nullptr when absent
};

// The address of one action on one resource, as a stable text.
struct ActionAddress {
  std::string resource;  // resource address
  std::string action;    // action id

  std::string encode() const;                                         // "resource#action"
  static std::optional<ActionAddress> decode(std::string_view text);  // inverse of encode
  bool operator==(const ActionAddress&) const = default;
};

// A reference from content (a message) to a resource; stored as JSON {"kind","id","label","span"}.
struct ResourceSpan {
  uint64_t start = 0;  // byte offset in the referring text
  uint64_t len = 0;    // byte length
  bool operator==(const ResourceSpan&) const = default;
};

struct ResourceRef {
  std::string kind;
  std::string id;
  std::string label;
  std::optional<ResourceSpan> span;
  bool operator==(const ResourceRef&) const = default;
};

nlohmann::json to_json(const ResourceRef& ref);
std::optional<ResourceRef> resource_ref_from_json(const nlohmann::json& j);  // nothing when malformed

}  // namespace kivo_actions
