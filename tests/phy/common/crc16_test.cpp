#include "phy/common/crc16.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <vector>

namespace zolk {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Crc16, CheckValuesAndStoredOrder) {
    struct Case {
        std::string_view text;
        std::uint16_t crc;
    };
    const std::array cases{
        Case{"123456789", 0xD64E},
        Case{"abc", 0xAEB5},
        Case{"", 0x0000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(crc16Ccitt(bytesOf(c.text)), c.crc);
        const auto stored = crc16StoredBytes(bytesOf(c.text));
        EXPECT_EQ(stored[0], c.crc >> 8);
        EXPECT_EQ(stored[1], c.crc & 0xFF);
    }
}

TEST(Crc16, MatchesAcceptsAppendedCheckAndRejectsAnyFlippedBit) {
    std::vector<std::uint8_t> frame{0x10, 0x20, 0x30, 0xFF, 0x00};
    const auto stored = crc16StoredBytes(frame);
    frame.insert(frame.end(), stored.begin(), stored.end());
    EXPECT_TRUE(crc16Matches(frame));
    for (std::size_t bit = 0; bit < frame.size() * 8; ++bit) {
        auto damaged = frame;
        damaged[bit / 8] ^= static_cast<std::uint8_t>(1U << (bit % 8));
        EXPECT_FALSE(crc16Matches(damaged)) << "bit " << bit;
    }
    EXPECT_FALSE(crc16Matches(std::span(frame).first(1)));
}

}  // namespace
}  // namespace zolk
