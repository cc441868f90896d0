// crc16.h: the frame check sequence (CRC-16, polynomial 0x1021, init 0xFFFF, final XOR 0xFFFF).
// Owns only its constant lookup table; callers decide where the two check bytes go.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zolk {

// The checksum value itself: 0xD64E over "123456789".
std::uint16_t crc16Ccitt(std::span<const std::uint8_t> bytes);

// The checksum as it is stored on the air and in files: high byte first.
std::array<std::uint8_t, 2> crc16StoredBytes(std::span<const std::uint8_t> bytes);

// True when the last two bytes hold the stored checksum of everything before them.
bool crc16Matches(std::span<const std::uint8_t> bytesWithCrc);

}  // namespace zolk
