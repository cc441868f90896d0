#include "phy/fec/turbo_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

#include "fec_test_support.h"
#include "phy/fec/puncture.h"
#include "phy/fec/trellis.h"

namespace zolk {
namespace {

struct SmallFrame {
    std::vector<std::uint16_t> interleaver;
    std::vector<std::uint16_t> bitInterleaver;
    std::vector<std::uint8_t> whitening;
    FecConfig config;

    SmallFrame(int rateIndex, std::vector<std::uint16_t> pi, int codedBits)
        : interleaver(std::move(pi)),
          bitInterleaver(test::randomPermutation(codedBits, 5)),
          whitening(interleaver.size(), 0) {
        config.constraint = 4;
        config.rateIndex = rateIndex;
        config.infoBits = static_cast<int>(interleaver.size());
        config.codedBits = codedBits;
        config.turboInterleaver = interleaver;
        config.bitInterleaver = bitInterleaver;
        config.pseudoRandomBits = whitening;
    }
};

struct KnownAnswer {
    const char* name;
    int rateIndex;
    std::vector<std::uint16_t> interleaver;
    std::vector<std::uint8_t> expected;
};

// Input 1, 0, 0, 0 worked by hand on the K = 4 trellis: data triplets (or pairs after
// puncturing), then three tail steps of encoder-1 bit, parity, encoder-2 bit, parity. Encoder 1
// ends the data in state 3 (tail 1, 0, 1); with the reversed interleaver encoder 2 sees
// 0, 0, 0, 1 and ends in state 1 (tail 0, 1, 1).
TEST(TurboEncoderTest, KnownAnswersForOneImpulse) {
    const std::array<KnownAnswer, 3> cases = {{
        {"rate 1/3, identity interleaver", 2, {0, 1, 2, 3}, {1, 1, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1,
                                                             1, 1, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1}},
        {"rate 1/3, reversed interleaver", 2, {3, 2, 1, 0}, {1, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 1,
                                                             1, 1, 0, 1, 0, 1, 1, 0, 1, 1, 1, 1}},
        {"rate 1/2, identity interleaver", 3, {0, 1, 2, 3}, {1, 1, 0, 1, 0, 1, 0, 1, 1, 1,
                                                             1, 1, 0, 1, 0, 1, 1, 1, 1, 1}},
    }};
    const std::vector<std::uint8_t> impulse = {1, 0, 0, 0};
    for (const KnownAnswer& c : cases) {
        SCOPED_TRACE(c.name);
        SmallFrame frame(c.rateIndex, c.interleaver, static_cast<int>(c.expected.size()));
        std::vector<std::uint8_t> coded(c.expected.size(), 7);
        EXPECT_EQ(turboEncode(impulse, frame.config, coded), static_cast<int>(c.expected.size()));
        EXPECT_EQ(coded, c.expected);
    }
}

struct LengthCase {
    int mode;
    int rateIndex;
    int codedBits;
    int encodedLength;
};

TEST(TurboEncoderTest, OutputLengthsOfModesZeroFiveAndThirteen) {
    const std::array<LengthCase, 3> cases = {
        {{0, 2, 324, 324}, {5, 3, 3486, 3486}, {13, 6, 27840, 27837}}};
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode);
        test::FrameTables tables(4, c.rateIndex, c.codedBits, 100U + c.mode);
        // All-ones input drives parity and tail bits to non-zero values, so any write past the
        // encoder length or any missing tail would show.
        const std::vector<std::uint8_t> ones(static_cast<std::size_t>(tables.config.infoBits), 1);
        std::vector<std::uint8_t> coded(static_cast<std::size_t>(c.codedBits), 1);
        EXPECT_EQ(turboEncode(ones, tables.config, coded), c.encodedLength);
        EXPECT_TRUE(std::all_of(coded.begin() + c.encodedLength, coded.end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
}

// For every rate: walking the pattern over the output finds each input bit and the parity of
// both encoders (encoder 2 on the interleaved input) at their places, then the tail.
TEST(TurboEncoderTest, MultiplexFollowsThePatternForEveryRate) {
    const Trellis& t = trellisFor(4);
    for (int q = 2; q <= kMaxRateIndex; ++q) {
        SCOPED_TRACE(testing::Message() << "q=" << q);
        test::FrameTables tables(4, q, 2000, 200U + q);
        const FecConfig& config = tables.config;
        const std::vector<std::uint8_t> u = test::randomBits(config.infoBits, 7U + q);
        std::vector<std::uint8_t> coded(2000);
        const int length = turboEncode(u, config, coded);
        ASSERT_EQ(length, turboEncodedLength(config.infoBits, 4, q));

        const PuncturePattern& p = kPuncturePattern[q];
        int pos = 0;
        int s1 = 0;
        int s2 = 0;
        for (int k = 0, r = 0; k < config.infoBits; ++k, r = (r + 1) % p.period) {
            const int v = u[config.turboInterleaver[k]];
            ASSERT_EQ(coded[pos++], u[k]) << "systematic " << k;
            if (p.at[r].parity1) {
                ASSERT_EQ(coded[pos++], t.parityOut[u[k]][s1]) << "parity 1 " << k;
            }
            if (p.at[r].parity2) {
                ASSERT_EQ(coded[pos++], t.parityOut[v][s2]) << "parity 2 " << k;
            }
            s1 = t.nextState[u[k]][s1];
            s2 = t.nextState[v][s2];
        }
        for (int step = 0; step < 3; ++step) {
            const int tail1 = coded[pos];
            const int tail2 = coded[pos + 2];
            EXPECT_EQ(coded[pos + 1], t.parityOut[tail1][s1]) << "tail step " << step;
            EXPECT_EQ(coded[pos + 3], t.parityOut[tail2][s2]) << "tail step " << step;
            s1 = t.nextState[tail1][s1];
            s2 = t.nextState[tail2][s2];
            pos += 4;
        }
        EXPECT_EQ(pos, length);
        EXPECT_EQ(s1, 0) << "encoder 1 not terminated";
        EXPECT_EQ(s2, 0) << "encoder 2 not terminated";
    }
}

TEST(TurboEncoderTest, UncodedRateCopiesTheBits) {
    SmallFrame frame(kUncodedRateIndex, {0, 1, 2, 3, 4}, 6);
    const std::vector<std::uint8_t> bits = {1, 0, 1, 1, 0};
    std::vector<std::uint8_t> coded(6, 9);
    EXPECT_EQ(turboEncode(bits, frame.config, coded), 5);
    EXPECT_EQ(coded, (std::vector<std::uint8_t>{1, 0, 1, 1, 0, 0}));
}

struct BadConfigCase {
    const char* name;
    int constraint;
    int rateIndex;
    int codedBits;
};

TEST(TurboEncoderTest, RefusesConfigurationsThatDoNotFit) {
    const std::array<BadConfigCase, 4> cases = {{
        {"constraint 6", 6, 2, 24},
        {"rate index 1", 4, 1, 24},
        {"rate index 11", 4, 11, 24},
        {"frame too short for the tail", 4, 2, 23},
    }};
    const std::vector<std::uint8_t> bits = {1, 0, 0, 0};
    for (const BadConfigCase& c : cases) {
        SCOPED_TRACE(c.name);
        SmallFrame frame(2, {0, 1, 2, 3}, c.codedBits);
        frame.config.constraint = c.constraint;
        frame.config.rateIndex = c.rateIndex;
        std::vector<std::uint8_t> coded(static_cast<std::size_t>(c.codedBits));
        EXPECT_THROW(turboEncode(bits, frame.config, coded), std::invalid_argument);
    }
    SmallFrame outOfRange(2, {0, 1, 4, 3}, 24);
    std::vector<std::uint8_t> coded(24);
    EXPECT_THROW(turboEncode(bits, outOfRange.config, coded), std::invalid_argument);
    SmallFrame good(2, {0, 1, 2, 3}, 24);
    std::vector<std::uint8_t> shortOutput(23);
    EXPECT_THROW(turboEncode(bits, good.config, shortOutput), std::invalid_argument);
    const std::vector<std::uint8_t> tooManyBits = {1, 0, 0, 0, 1};
    EXPECT_THROW(turboEncode(tooManyBits, good.config, coded), std::invalid_argument);
}

TEST(TurboEncoderTest, InterleaveBitsReadsThroughThePermutation) {
    const std::vector<std::uint8_t> coded = {1, 1, 0, 0, 1};
    const std::vector<std::uint16_t> permutation = {4, 2, 0, 3, 1};
    std::vector<std::uint8_t> out(5);
    interleaveBits(coded, permutation, out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 0, 1, 0, 1}));

    const std::vector<std::uint16_t> outOfRange = {4, 2, 0, 3, 5};
    EXPECT_THROW(interleaveBits(coded, outOfRange, out), std::invalid_argument);
    std::vector<std::uint8_t> shortOut(4);
    EXPECT_THROW(interleaveBits(coded, permutation, shortOut), std::invalid_argument);
}

TEST(TurboEncoderTest, OuterStagePassesBytesThrough) {
    const std::vector<std::uint8_t> bytes = {0x14, 0x00, 0xFF, 0x5A};
    std::vector<std::uint8_t> out(4);
    outerEncode(bytes, out);
    EXPECT_EQ(out, bytes);
    std::vector<std::uint8_t> shortOut(3);
    EXPECT_THROW(outerEncode(bytes, shortOut), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
