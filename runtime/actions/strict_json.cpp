#include "runtime/actions/strict_json.h"

#include <string>
#include <vector>

namespace kivo_actions {
namespace {

using json = nlohmann::json;

// Builds the value from the parser's events, refusing what the plain parser would let through.
class StrictBuilder {
public:
  explicit StrictBuilder(size_t max_depth) : m_max_depth(max_depth) {}

  bool null() { return value(json(nullptr)); }
  bool boolean(bool v) { return value(json(v)); }
  bool number_integer(json::number_integer_t v) { return value(json(v)); }
  bool number_unsigned(json::number_unsigned_t v) { return value(json(v)); }
  bool number_float(json::number_float_t v, const json::string_t&) { return value(json(v)); }
  bool string(json::string_t& v) { return value(json(std::move(v))); }
  bool binary(json::binary_t&) { return fail("binary values are not JSON text"); }

  bool start_object(std::size_t) { return open(json::object()); }
  bool start_array(std::size_t) { return open(json::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(json::string_t& k) {
    json& top = *m_stack.back();
    if (top.contains(k)) return fail("duplicate key \"" + k + "\"");
    m_key = std::move(k);
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
    if (m_error.empty()) {
      std::string what = ex.what();
      auto bracket = what.find("] ");
      m_error = bracket == std::string::npos ? what : what.substr(bracket + 2);
    }
    return false;
  }

  json take() { return std::move(m_root); }
  const std::string& error() const { return m_error; }

private:
  bool fail(std::string message) {
    if (m_error.empty()) m_error = std::move(message);
    return false;
  }

  // Places `v` in the innermost open container (or as the root); answers where it went.
  json* place(json v) {
    if (m_stack.empty()) {
      m_root = std::move(v);
      return &m_root;
    }
    json& top = *m_stack.back();
    if (top.is_array()) {
      top.push_back(std::move(v));
      return &top.back();
    }
    json& slot = top[m_key];
    slot = std::move(v);
    return &slot;
  }

  bool value(json v) {
    place(std::move(v));
    return true;
  }

  bool open(json container) {
    if (m_stack.size() + 1 > m_max_depth)
      return fail("nesting deeper than " + std::to_string(m_max_depth) + " levels");
    m_stack.push_back(place(std::move(container)));
    return true;
  }

  bool close() {
    m_stack.pop_back();
    return true;
  }

  size_t m_max_depth;
  json m_root;
  std::vector<json*> m_stack;
  std::string m_key;
  std::string m_error;
};

}  // namespace

kivo::Result<json> parse_strict_json(std::string_view text, size_t max_depth) {
  StrictBuilder builder(max_depth);
  bool ok = json::sax_parse(text.begin(), text.end(), &builder, json::input_format_t::json, true);
  if (!ok) return kivo::make_error(builder.error().empty() ? "invalid JSON" : builder.error());
  return builder.take();
}

bool json_deeper_than(const json& value, size_t max_depth) {
  if (!value.is_structured()) return false;
  if (max_depth == 0) return true;
  for (const auto& child : value)
    if (json_deeper_than(child, max_depth - 1)) return true;
  return false;
}

}  // namespace kivo_actions
