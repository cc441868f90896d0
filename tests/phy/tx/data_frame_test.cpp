#include "phy/tx/data_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "phy/common/crc16.h"

namespace zolk {
namespace {

constexpr int kUserBytes = 10;  // mode 0's UserBytes

std::vector<std::uint8_t> frameOf(const std::vector<std::uint8_t>& payload,
                                  DataFrameHeader header = {}) {
    std::vector<std::uint8_t> frame(kUserBytes + kDataFrameOverheadBytes, 0xAA);
    buildDataFrame(payload, header, frame);
    return frame;
}

TEST(DataFrame, LayoutByPayloadLength) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> payload;
        bool full;
    };
    const std::array cases{
        Case{"empty", {}, false},
        Case{"short", {'H', 'i'}, false},
        Case{"one byte short", std::vector<std::uint8_t>(kUserBytes - 1, 0x55), false},
        Case{"full", std::vector<std::uint8_t>(kUserBytes, 0x55), true},
        Case{"holds the terminator value", {0x14, 0x14, 'x'}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto frame = frameOf(c.payload);
        const std::size_t n = c.payload.size();
        EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), frame.begin()));
        if (!c.full) {
            EXPECT_EQ(frame[n], kDataFrameTerminator);
            for (std::size_t i = n + 1; i < kUserBytes; ++i) {
                EXPECT_EQ(frame[i], 0) << "offset " << i;
            }
        }
        EXPECT_EQ(frame[kUserBytes] & 0x01, c.full ? 1 : 0);
        EXPECT_TRUE(crc16Matches(frame));
        // A receiver takes the payload length from the last terminator before the header.
        std::size_t found = kUserBytes;
        if (!c.full) {
            while (frame[found - 1] != kDataFrameTerminator) {
                --found;
            }
            --found;
        }
        EXPECT_EQ(found, n);
    }
}

TEST(DataFrame, HeaderBits) {
    struct Case {
        const char* name;
        DataFrameHeader header;
        std::uint8_t expected;
    };
    const std::array cases{
        Case{"plain", {}, 0x00},
        Case{"last frame", {.lastFrame = true}, 0x02},
        Case{"backlog 5", {.backlogClass = 5}, 0x14},
        Case{"public", {.publicFlag = true}, 0x40},
        Case{"all", {.lastFrame = true, .backlogClass = 3, .publicFlag = true}, 0x4E},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frameOf({'a'}, c.header)[kUserBytes], c.expected);
    }
}

TEST(DataFrame, CheckBytesHighFirstOverPayloadAndHeader) {
    const auto frame = frameOf({'1', '2', '3'});
    const std::uint16_t crc = crc16Ccitt(std::span(frame).first(kUserBytes + 1));
    EXPECT_EQ(frame[kUserBytes + 1], crc >> 8);
    EXPECT_EQ(frame[kUserBytes + 2], crc & 0xFF);
}

TEST(DataFrame, RefusesWhatDoesNotFit) {
    std::vector<std::uint8_t> frame(kUserBytes + kDataFrameOverheadBytes);
    const std::vector<std::uint8_t> tooLong(kUserBytes + 1, 1);
    EXPECT_THROW(buildDataFrame(tooLong, {}, frame), std::invalid_argument);
    EXPECT_THROW(buildDataFrame({}, {.backlogClass = 6}, frame), std::invalid_argument);
    std::vector<std::uint8_t> tiny(2);
    EXPECT_THROW(buildDataFrame({}, {}, tiny), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
