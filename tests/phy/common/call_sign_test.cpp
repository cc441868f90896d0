#include "phy/common/call_sign.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace zolk {
namespace {

struct CallCase {
    std::string_view call;
    bool valid;
    std::string_view base;
    int ssid;
};

constexpr std::array<CallCase, 28> kCalls{{
    {"EA5ABC", true, "EA5ABC", 0},
    {"ea5abc", true, "EA5ABC", 0},
    {"AB1CDEF", true, "AB1CDEF", 0},
    {"AB1CDEFG", false, "AB1CDEFG", 0},  // eight characters
    {"EA5ABC-T", true, "EA5ABC", 16},
    {"EA5ABC-r", true, "EA5ABC", 17},
    {"EA5ABC-X", true, "EA5ABC", 18},
    {"EA5ABC-7", true, "EA5ABC", 7},
    {"EA5ABC-15", true, "EA5ABC", 15},
    {"EA5ABC-1", true, "EA5ABC", 1},
    {"EA5ABC-9", true, "EA5ABC", 9},
    {"EA5ABC-07", true, "EA5ABC", 7},
    {"EA5ABC-18", true, "EA5ABC", 18},
    {"EA5ABC-0", false, "EA5ABC", 0},
    {"EA5ABC-00", false, "EA5ABC", 0},
    {"EA5ABC-", false, "EA5ABC", 0},
    {"EA5ABC-19", false, "EA5ABC", 19},
    {"EA5ABC-99", false, "EA5ABC", 99},
    {"EA5ABC-007", false, "EA5ABC", 7},  // three characters
    {"EA5ABC-A", false, "EA5ABC", 0},
    {"EA5ABC-TT", false, "EA5ABC", 0},
    {"EA5ABC-1-2", false, "EA5ABC", 0},
    {"EA5/ABC", false, "EA5/ABC", 0},
    {"EA5 ABC", false, "EA5 ABC", 0},
    {"\xC3\x91U1A", false, "\xC3\x91U1A", 0},
    {"", true, "", 0},     // an empty slot
    {"-7", false, "", 7},  // a suffix without a call sign
    {"1", true, "1", 0},
}};

TEST(CallSign, ValidityBaseCallAndSsidFollowTheTable) {
    for (const CallCase& c : kCalls) {
        SCOPED_TRACE(std::string(c.call));
        EXPECT_EQ(callSignValid(c.call), c.valid);
        EXPECT_EQ(baseCall(c.call), c.base);
        EXPECT_EQ(ssidOf(c.call), c.ssid);
    }
}

TEST(CallSign, NulInsideTheCallIsRefused) {
    const std::string withNul("EA5\0BC", 6);
    EXPECT_FALSE(callSignValid(withNul));
}

TEST(CallSign, HashIsTheFrameCheckSequenceOfTheBytes) {
    // The CRC's standard check value over the nine digits, and 0 over nothing.
    EXPECT_EQ(callHash("123456789"), 0xD64E);
    EXPECT_EQ(callHash(""), 0x0000);
}

TEST(CallSign, SeedIsProductOfHashBytesPlus257) {
    EXPECT_EQ(callSeed("123456789"), 0xD6 * 0x4E + 257);
    EXPECT_EQ(callSeed(""), 257);
    // Seeds are drawn from the stored (upper-case) text, so the case of the input matters here.
    const std::uint16_t hash = callHash("EA5ABC-7");
    EXPECT_EQ(callSeed("EA5ABC-7"), (hash >> 8) * (hash & 0xFF) + 257);
    EXPECT_NE(callHash("EA5ABC"), callHash("ea5abc"));
    for (std::string_view call : {"EA5ABC", "N0CALL", "AB1CDEF-15", "K1T"}) {
        SCOPED_TRACE(std::string(call));
        EXPECT_GE(callSeed(call), 257);
        EXPECT_LE(callSeed(call), 65282);
    }
}

}  // namespace
}  // namespace zolk
