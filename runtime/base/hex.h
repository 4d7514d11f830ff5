// Lower-case hexadecimal text of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kivo {

inline std::string to_hex(const uint8_t* data, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 15]);
  }
  return out;
}

}  // namespace kivo
