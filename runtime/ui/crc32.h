// CRC-32 (the IEEE 802.3 polynomial, as used by zlib and PNG) for checking stored records.
#pragma once

#include <cstdint>
#include <span>

namespace kivo_ui {

// Continues `crc` (0 to start) over `bytes`; crc32 of "123456789" is 0xCBF43926.
uint32_t crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

}  // namespace kivo_ui
