// 64-bit FNV-1a, the toolkit's stable hash for identifiers (node ids, colour choice).
#pragma once

#include <cstdint>
#include <string_view>

namespace kivo_ui {

inline constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
inline constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// Continues `hash` over the bytes of `bytes`.
constexpr uint64_t fnv1a64(std::string_view bytes, uint64_t hash = kFnvOffsetBasis) {
  for (char c : bytes) hash = (hash ^ static_cast<uint8_t>(c)) * kFnvPrime;
  return hash;
}

constexpr uint64_t fnv1a64_byte(uint8_t byte, uint64_t hash) { return (hash ^ byte) * kFnvPrime; }

}  // namespace kivo_ui
