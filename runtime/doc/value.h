// Values stored in a document: scalars, and references to nested objects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "runtime/doc/op_id.h"

namespace kivo::doc {

enum class ObjType : uint8_t { Map, List, Text, Table };

struct Null {
  bool operator==(const Null&) const = default;
};
struct Counter {  // a counter: concurrent increments add up
  int64_t value = 0;
  bool operator==(const Counter&) const = default;
};
struct Timestamp {  // milliseconds since the Unix epoch
  int64_t millis = 0;
  bool operator==(const Timestamp&) const = default;
};
// A value type this library does not know (kept as stored, for other peers).
struct UnknownValue {
  uint8_t type_code = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const UnknownValue&) const = default;
};

using ScalarValue = std::variant<Null, bool, int64_t, uint64_t, double, std::string, std::vector<uint8_t>,
                                 Counter, Timestamp, UnknownValue>;

// A nested object as seen from its parent: its id and kind.
struct ObjectRef {
  ObjId id;
  ObjType type = ObjType::Map;
  bool operator==(const ObjectRef&) const = default;
};

// What a key or index holds: a scalar or an object.
struct Value {
  std::variant<ScalarValue, ObjectRef> v;

  bool is_object() const { return v.index() == 1; }
  const ObjectRef* object() const { return std::get_if<ObjectRef>(&v); }
  const ScalarValue* scalar() const { return std::get_if<ScalarValue>(&v); }
  // Convenience accessors: the value when it has that type.
  const std::string* as_string() const { auto s = scalar(); return s ? std::get_if<std::string>(s) : nullptr; }
  std::optional<int64_t> as_int() const;  // int, uint that fits, counter, timestamp
  bool operator==(const Value&) const = default;
};

}  // namespace kivo::doc
