// The control-code catalogue and the pattern drawing: what both stations of a link must agree on.
#include "session/control_codes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace zolk {
namespace {

ControlPatternTable drawn(std::int32_t seed, const CallSlotSeeds& slots, bool forCall) {
    RandomSource random;
    ControlPatternTable table;
    buildPatterns(random, seed, slots, forCall, table);
    return table;
}

constexpr CallSlotSeeds kSlots = {4001, 812, 0, 30977, 65282};

TEST(ControlCodes, NamesAndNumbersRoundTrip) {
    for (int n = 1; n <= kControlCodeCount; ++n) {
        const auto code = controlCodeFromNumber(n);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(codeNumber(*code), n);
        EXPECT_EQ(parseControlCode(controlCodeName(*code)), code);
        EXPECT_EQ(parseControlCode(std::to_string(n)), code);
    }
    EXPECT_EQ(controlCodeName(ControlCode::TurnAck), "TurnAck");
    EXPECT_EQ(controlCodeName(ControlCode::Call1), "Call1");
    EXPECT_EQ(callSlot(ControlCode::Call1), 1);
    EXPECT_EQ(callSlot(ControlCode::Call5), 5);
    EXPECT_EQ(callSlot(ControlCode::IdleAck), 0);
}

TEST(ControlCodes, BadCodesAreRefused) {
    struct Case {
        const char* text;
        std::optional<ControlCode> expected;
    };
    const Case cases[] = {
        {"qrt", ControlCode::Qrt}, {"CALL5", ControlCode::Call5}, {"07", ControlCode::AckUp1},
        {"0", std::nullopt},       {"27", std::nullopt},          {"-1", std::nullopt},
        {"", std::nullopt},        {"Call6", std::nullopt},       {"Ack ", std::nullopt},
        {"100", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseControlCode(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_FALSE(controlCodeFromNumber(0));
    EXPECT_FALSE(controlCodeFromNumber(27));
}

TEST(ControlCodes, SetsListTheirCodesAscending) {
    ControlCodeSet set{ControlCode::Idle, ControlCode::Qrt, ControlCode::Req1, ControlCode::Break};
    set.add(ControlCode::Req0);
    const auto numbers = set.numbers();
    EXPECT_EQ(std::vector<std::uint8_t>(numbers.begin(), numbers.end()),
              (std::vector<std::uint8_t>{3, 4, 12, 13, 20}));
    set.remove(ControlCode::Qrt);
    EXPECT_FALSE(set.contains(ControlCode::Qrt));
    EXPECT_TRUE(ControlCodeSet{}.empty());
    EXPECT_EQ(ControlCodeSet::range(ControlCode::Call1, ControlCode::Call5).numbers().size(), 5u);
}

// Two stations drawing with the same arguments agree, whatever their generators did before.
TEST(ControlPatterns, SameSeedsGiveSameTablesWhateverCameBefore) {
    RandomSource used;
    for (int i = 0; i < 1000; ++i) used.draw(48);
    used.seed(12345);
    ControlPatternTable a;
    buildPatterns(used, 2718, kSlots, true, a);
    EXPECT_EQ(a, drawn(2718, kSlots, true));
    ControlPatternTable again = a;
    buildPatterns(used, 2718, kSlots, true, again);
    EXPECT_EQ(again, a);
}

TEST(ControlPatterns, EachCodeDependsOnItsOwnSeedOnly) {
    const ControlPatternTable idle = drawn(0, kSlots, false);
    const ControlPatternTable link = drawn(2718, kSlots, false);
    const ControlPatternTable call = drawn(2718, kSlots, true);
    CallSlotSeeds otherSlot3 = kSlots;
    otherSlot3[2] = 999;
    const ControlPatternTable slot3 = drawn(0, otherSlot3, false);
    for (int c = 1; c <= kControlCodeCount; ++c) {
        SCOPED_TRACE(c);
        const bool linkCode = c <= 21;
        EXPECT_EQ(idle.toneOf[c] == link.toneOf[c], !linkCode);
        EXPECT_EQ(link.toneOf[c] == call.toneOf[c], c != 22);
        EXPECT_EQ(idle.toneOf[c] == slot3.toneOf[c], c != 24);
    }
    // An outgoing call carries the called station's own Call1: drawn from its seed as slot 1.
    CallSlotSeeds called{};
    called[0] = 2718;
    EXPECT_EQ(call.toneOf[22], drawn(0, called, false).toneOf[22]);
    EXPECT_EQ(call.bandLow[22], drawn(0, called, false).bandLow[22]);
}

TEST(ControlPatterns, TonesLieInTheirBandsAndBandsChangeEverySymbol) {
    const std::set<int> bandStarts = {8, 15, 22, 29, 36, 43, 50};
    for (std::int32_t seed : {0, 257, 4001, 65282, -5, 2147483637}) {
        const ControlPatternTable t = drawn(seed, {seed, seed + 1, seed + 2, 0, 65282}, seed % 2 == 0);
        for (int c = 1; c <= kControlCodeCount; ++c) {
            for (int s = 0; s < kControlSymbols; ++s) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << " code " << c << " symbol " << s);
                const int tone = t.toneOf[c][s];
                EXPECT_GE(tone, kControlLowestTone);
                EXPECT_LE(tone, kControlHighestTone);
                EXPECT_TRUE(bandStarts.contains(t.bandLow[c][s]));
                EXPECT_GE(tone, t.bandLow[c][s]);
                EXPECT_LE(tone, t.bandHigh(c, s));
                if (s > 0) {
                    EXPECT_NE(t.bandLow[c][s], t.bandLow[c][s - 1]);
                }
            }
        }
    }
}

// Codes 1..21 avoid the tones of lower codes at the same symbol, so only a few symbols (where eight
// draws could not find a free tone) are shared; the Call codes are drawn without that rule.
TEST(ControlPatterns, LinkCodesRarelyShareATone) {
    const ControlPatternTable t = drawn(0, kSlots, false);
    int shared = 0;
    for (int s = 0; s < kControlSymbols; ++s) {
        for (int c = 2; c <= 21; ++c) {
            for (int k = 1; k < c; ++k) shared += t.toneOf[c][s] == t.toneOf[k][s];
        }
    }
    // Without the rule, 210 pairs x 31 symbols with a shared band 1/7 and tone 1/7 of the time
    // would share about 133 tones.
    EXPECT_LT(shared, 40);
}

// The drawing goes on the air: a change here breaks every link with an older station. The first
// four tones of Ack follow by hand from the generator's draw(6) sequence after seed(10):
// 4, 5, 2, 2, 0, 2, 1, 5 gives bands 36, 22, 8, 15 and tones 41, 24, 10, 20.
TEST(ControlPatterns, DrawingIsPinned) {
    const ControlPatternTable t = drawn(0, kSlots, false);
    const std::vector<int> ackStart(t.toneOf[1].begin(), t.toneOf[1].begin() + 8);
    const std::vector<int> call1Start(t.toneOf[22].begin(), t.toneOf[22].begin() + 8);
    EXPECT_EQ(ackStart, (std::vector<int>{41, 24, 10, 20, 41, 44, 12, 29}));
    EXPECT_EQ(call1Start, (std::vector<int>{8, 38, 47, 9, 47, 27, 31, 14}));
}

TEST(IncomingCallFilter, EmptySlotsAreNeverListenedFor) {
    const std::array<std::string, kCallSlots> calls = {"EA4XYZ", "", "EA4XYZ-7", "", ""};
    const ControlCodeSet set = withoutEmptyCallSlots(
        ControlCodeSet::range(ControlCode::Call1, ControlCode::Call5) | ControlCodeSet{ControlCode::Qrt}, calls);
    EXPECT_EQ(set, (ControlCodeSet{ControlCode::Qrt, ControlCode::Call1, ControlCode::Call3}));
    EXPECT_TRUE(withoutEmptyCallSlots(ControlCodeSet{ControlCode::Call2}, calls).empty());
}

}  // namespace
}  // namespace zolk
