#include "model/json_fields.h"

#include <limits>

namespace chat {

const char* json_type_name(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::null: return "null";
    case nlohmann::json::value_t::object: return "an object";
    case nlohmann::json::value_t::array: return "an array";
    case nlohmann::json::value_t::string: return "a string";
    case nlohmann::json::value_t::boolean: return "a boolean";
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: return "an integer";
    case nlohmann::json::value_t::number_float: return "a floating-point number";
    default: return "an unsupported value";
  }
}

std::optional<int64_t> json_i64(const nlohmann::json& value) {
  if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<int64_t>();
  if (value.is_number_unsigned()) {
    auto u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return static_cast<int64_t>(u);
  }
  return std::nullopt;
}

std::optional<uint64_t> json_u64(const nlohmann::json& value) {
  if (value.is_number_unsigned()) return value.get<uint64_t>();
  if (value.is_number_integer()) {
    auto i = value.get<int64_t>();
    if (i < 0) return std::nullopt;
    return static_cast<uint64_t>(i);
  }
  return std::nullopt;
}

kivo::Result<JsonFields> JsonFields::of(const nlohmann::json& value, std::string where) {
  if (!value.is_object())
    return kivo::make_error("invalid type for " + where + ": expected an object, found " + json_type_name(value));
  return JsonFields(value, std::move(where));
}

const nlohmann::json* JsonFields::find(std::string_view name) const {
  auto it = m_value->find(name);
  return it == m_value->end() ? nullptr : &*it;
}

const nlohmann::json* JsonFields::find_non_null(std::string_view name) const {
  const auto* v = find(name);
  return v && !v->is_null() ? v : nullptr;
}

kivo::Result<const nlohmann::json*> JsonFields::required(std::string_view name) const {
  const auto* v = find(name);
  if (!v) return kivo::make_error("missing field \"" + std::string(name) + "\" in " + m_where);
  return v;
}

kivo::Error JsonFields::wrong_type(std::string_view name, const char* expected, const nlohmann::json& found) const {
  return kivo::make_error("invalid type for \"" + std::string(name) + "\" in " + m_where + ": expected " + expected +
                          ", found " + json_type_name(found));
}

kivo::Result<std::string> JsonFields::text(std::string_view name) const {
  KIVO_TRY_ASSIGN(v, required(name));
  if (!v->is_string()) return wrong_type(name, "a string", *v);
  return v->get<std::string>();
}

kivo::Result<std::optional<std::string>> JsonFields::optional_text(std::string_view name) const {
  const auto* v = find_non_null(name);
  if (!v) return std::optional<std::string>();
  if (!v->is_string()) return wrong_type(name, "a string or null", *v);
  return std::optional<std::string>(v->get<std::string>());
}

kivo::Result<std::string> JsonFields::text_or_empty(std::string_view name) const {
  const auto* v = find(name);
  if (!v) return std::string();
  if (!v->is_string()) return wrong_type(name, "a string", *v);
  return v->get<std::string>();
}

kivo::Result<bool> JsonFields::boolean(std::string_view name) const {
  KIVO_TRY_ASSIGN(v, required(name));
  if (!v->is_boolean()) return wrong_type(name, "a boolean", *v);
  return v->get<bool>();
}

kivo::Result<int64_t> JsonFields::i64(std::string_view name) const {
  KIVO_TRY_ASSIGN(v, required(name));
  auto i = json_i64(*v);
  if (!i) return wrong_type(name, "a signed 64-bit integer", *v);
  return *i;
}

kivo::Result<uint64_t> JsonFields::u64(std::string_view name) const {
  KIVO_TRY_ASSIGN(v, required(name));
  auto u = json_u64(*v);
  if (!u) return wrong_type(name, "an unsigned 64-bit integer", *v);
  return *u;
}

kivo::Result<uint64_t> JsonFields::u64_or_zero(std::string_view name) const {
  if (!find(name)) return uint64_t{0};
  return u64(name);
}

kivo::Result<uint32_t> JsonFields::u32(std::string_view name) const {
  KIVO_TRY_ASSIGN(v, required(name));
  auto u = json_u64(*v);
  if (!u || *u > std::numeric_limits<uint32_t>::max()) return wrong_type(name, "an unsigned 32-bit integer", *v);
  return static_cast<uint32_t>(*u);
}

kivo::Result<JsonVariant> json_variant(const nlohmann::json& value, std::string_view what) {
  if (!value.is_object())
    return kivo::make_error("invalid type for " + std::string(what) + ": expected an object with one key, found " +
                            json_type_name(value));
  if (value.size() != 1)
    return kivo::make_error("invalid " + std::string(what) + ": expected an object with exactly one key, found " +
                            std::to_string(value.size()) + " keys");
  auto it = value.begin();
  return JsonVariant{it.key(), &it.value()};
}

}  // namespace chat
