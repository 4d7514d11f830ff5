// Strict JSON text reading for action payloads: one value, nothing after it but white space, no
// object with a repeated key, and nesting bounded, so that every accepted text has one meaning.
#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

#include "runtime/base/result.h"

namespace kivo_actions {

inline constexpr size_t kMaxJsonDepth = 128;  // objects and arrays nested at most this deep

// Parses `text`; refuses duplicate keys, nesting deeper than `max_depth` and trailing content.
kivo::Result<nlohmann::json> parse_strict_json(std::string_view text, size_t max_depth = kMaxJsonDepth);

// True when objects and arrays nest in `value` deeper than `max_depth` ({} is one level); looks
// no deeper than that, so a hostile value cannot exhaust the stack.
bool json_deeper_than(const nlohmann::json& value, size_t max_depth = kMaxJsonDepth);

}  // namespace kivo_actions
