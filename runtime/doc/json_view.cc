#include "runtime/doc/json_view.h"

namespace kivo::doc {

std::string base64(const std::vector<uint8_t>& b) {
  static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < b.size(); i += 3) {
    uint32_t v = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += t[(v >> 6) & 63];
    out += t[v & 63];
  }
  if (i + 1 == b.size()) {
    uint32_t v = b[i] << 16;
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == b.size()) {
    uint32_t v = (b[i] << 16) | (b[i + 1] << 8);
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += t[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

nlohmann::json scalar_to_json(const ScalarValue& v) {
  return std::visit(
      [](const auto& x) -> nlohmann::json {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Null>) return nullptr;
        else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int64_t> || std::is_same_v<T, uint64_t> ||
                           std::is_same_v<T, double> || std::is_same_v<T, std::string>)
          return x;
        else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) return base64(x);
        else if constexpr (std::is_same_v<T, Counter>) return x.value;
        else if constexpr (std::is_same_v<T, Timestamp>) return x.millis;
        else return nullptr;
      },
      v);
}

namespace {
nlohmann::json value_json(const Document& doc, const Value& v) {
  if (auto o = v.object()) return to_json(doc, o->id);
  return scalar_to_json(*v.scalar());
}
}  // namespace

nlohmann::json to_json(const Document& doc, ObjId obj) {
  auto type = doc.object_type(obj);
  if (!type) return nullptr;
  switch (*type) {
    case ObjType::Text: return doc.text(obj);
    case ObjType::List: {
      nlohmann::json a = nlohmann::json::array();
      doc.for_each_element(obj, [&](size_t, const Value& v) { a.push_back(value_json(doc, v)); });
      return a;
    }
    default: {
      nlohmann::json m = nlohmann::json::object();
      doc.for_each_entry(obj, [&](const std::string& k, const Value& v) { m[k] = value_json(doc, v); });
      return m;
    }
  }
}

}  // namespace kivo::doc
