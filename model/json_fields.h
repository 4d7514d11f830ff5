// Strict reading of JSON objects into records: required and optional fields with exact types, and
// decoding errors that name the field and the record they belong to. Unknown fields are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "runtime/base/result.h"

namespace chat {

const char* json_type_name(const nlohmann::json& value);  // "a string", "an integer", ...

class JsonFields {
public:
  // `where` names the record in error texts, e.g. "SendMessage".
  static kivo::Result<JsonFields> of(const nlohmann::json& value, std::string where);

  const nlohmann::json* find(std::string_view name) const;  // nullptr when absent
  const nlohmann::json* find_non_null(std::string_view name) const;  // nullptr when absent or null
  kivo::Result<const nlohmann::json*> required(std::string_view name) const;

  kivo::Result<std::string> text(std::string_view name) const;
  kivo::Result<std::optional<std::string>> optional_text(std::string_view name) const;  // null or absent: none
  kivo::Result<std::string> text_or_empty(std::string_view name) const;                // absent: empty
  kivo::Result<bool> boolean(std::string_view name) const;
  kivo::Result<int64_t> i64(std::string_view name) const;
  kivo::Result<uint64_t> u64(std::string_view name) const;
  kivo::Result<uint64_t> u64_or_zero(std::string_view name) const;  // absent: 0
  kivo::Result<uint32_t> u32(std::string_view name) const;

  kivo::Error wrong_type(std::string_view name, const char* expected, const nlohmann::json& found) const;
  const std::string& where() const { return m_where; }

private:
  JsonFields(const nlohmann::json& value, std::string where) : m_value(&value), m_where(std::move(where)) {}
  const nlohmann::json* m_value;
  std::string m_where;
};

// The single key of an enumeration object {"Variant": {...}}, or why the value is not one.
struct JsonVariant {
  std::string name;
  const nlohmann::json* body = nullptr;
};
kivo::Result<JsonVariant> json_variant(const nlohmann::json& value, std::string_view what);

// Integer conversions that refuse floats, out-of-range values and other kinds.
std::optional<int64_t> json_i64(const nlohmann::json& value);
std::optional<uint64_t> json_u64(const nlohmann::json& value);

}  // namespace chat
