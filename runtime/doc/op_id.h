// Identifiers of the document model: actor ids, operation ids and object ids.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kivo::doc {

// An actor id: opaque bytes naming one writer (16 random bytes for our own actors).
using ActorId = std::vector<uint8_t>;

std::string to_hex(const uint8_t* data, size_t size);
inline std::string to_hex(const ActorId& a) { return to_hex(a.data(), a.size()); }
bool from_hex(const std::string& hex, std::vector<uint8_t>& out);  // false on bad hex

// An operation id: (counter, actor). The actor is an index into the actor table of the
// document or change holding it. Counter 0 never names a real operation.
struct OpId {
  uint64_t counter = 0;
  uint32_t actor = 0;
  bool operator==(const OpId&) const = default;
};

struct OpIdHash {
  size_t operator()(const OpId& id) const { return std::hash<uint64_t>()(id.counter * 0x9e3779b97f4a7c15ull ^ id.actor); }
};

// An object of the document: the root map or the operation that created the object.
// Object ids are only meaningful for the Document that handed them out.
struct ObjId {
  uint64_t counter = 0;
  uint32_t actor = 0;
  bool operator==(const ObjId&) const = default;
  bool is_root() const { return counter == 0; }
};

inline constexpr ObjId ROOT{};  // the root map

}  // namespace kivo::doc
