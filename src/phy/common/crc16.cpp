#include "phy/common/crc16.h"

namespace zolk {
namespace {

constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reg = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x8000U) ? (reg << 1) ^ 0x1021U : reg << 1;
        }
        table[i] = static_cast<std::uint16_t>(reg & 0xFFFFU);
    }
    return table;
}

constexpr auto kTable = makeTable();
static_assert(kTable[1] == 0x1021 && kTable[2] == 0x2042 && kTable[255] == 0x1EF0);

}  // namespace

std::uint16_t crc16Ccitt(std::span<const std::uint8_t> bytes) {
    unsigned crc = 0xFFFFU;
    for (const std::uint8_t b : bytes) {
        crc = kTable[(b ^ (crc >> 8)) & 0xFFU] ^ ((crc << 8) & 0xFFFFU);
    }
    return static_cast<std::uint16_t>(crc ^ 0xFFFFU);
}

std::array<std::uint8_t, 2> crc16StoredBytes(std::span<const std::uint8_t> bytes) {
    const std::uint16_t crc = crc16Ccitt(bytes);
    return {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc & 0xFFU)};
}

bool crc16Matches(std::span<const std::uint8_t> bytesWithCrc) {
    if (bytesWithCrc.size() < 2) {
        return false;
    }
    const auto body = bytesWithCrc.first(bytesWithCrc.size() - 2);
    const auto stored = crc16StoredBytes(body);
    return bytesWithCrc[bytesWithCrc.size() - 2] == stored[0] &&
           bytesWithCrc[bytesWithCrc.size() - 1] == stored[1];
}

}  // namespace zolk
