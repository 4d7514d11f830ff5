// ChangeHash: the SHA-256 of a change chunk, which names a change; heads are lists of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivo::doc {

struct ChangeHash {
  std::array<uint8_t, 32> bytes{};
  auto operator<=>(const ChangeHash&) const = default;
  std::string hex() const;
  static std::optional<ChangeHash> from_hex(const std::string& hex);
};

struct ChangeHashHash {
  size_t operator()(const ChangeHash& h) const {
    size_t v;
    __builtin_memcpy(&v, h.bytes.data(), sizeof v);
    return v;
  }
};

using Heads = std::vector<ChangeHash>;  // always sorted ascending

ChangeHash sha256(const uint8_t* data, size_t size);

}  // namespace kivo::doc
