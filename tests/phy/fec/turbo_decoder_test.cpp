#include "phy/fec/turbo_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "fec_test_support.h"
#include "phy/fec/puncture.h"

namespace zolk {
namespace {

constexpr int kMaxInfoBits = 22260;
constexpr int kMaxCodedBits = 40080;

// Runs steps 2..9 and returns the first step after which the decoder reported convergence
// (0 if it never did).
int runIterations(TurboDecoder& decoder) {
    int convergedAt = 0;
    for (int step = TurboDecoder::kFirstIterationStep; step <= TurboDecoder::kLastIterationStep;
         ++step) {
        decoder.fecStep(step);
        if (convergedAt == 0 && decoder.converged()) convergedAt = step;
    }
    return convergedAt;
}

std::vector<std::uint8_t> decodeFrame(TurboDecoder& decoder, const FecConfig& config,
                                      std::span<const float> soft, int* convergedAt = nullptr) {
    decoder.setUp(config, soft);
    const int at = runIterations(decoder);
    if (convergedAt != nullptr) *convergedAt = at;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(config.infoBits / 8));
    decoder.finish(bytes);
    return bytes;
}

struct RoundTripCase {
    const char* name;
    int constraint;
    int rateIndex;
    int codedBits;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class TurboRoundTripTest : public testing::TestWithParam<RoundTripCase> {};

// A clean frame decodes to the sent bytes, settles after two full iterations (the first two
// decision sets equal), within step 2, and leaves steps 3..9 idle; step 9 still yields the bytes.
TEST_P(TurboRoundTripTest, CleanFrameDecodesAndStopsAfterTwoIterations) {
    const RoundTripCase& c = GetParam();
    test::FrameTables tables(c.constraint, c.rateIndex, c.codedBits, 300U + c.codedBits);
    const FecConfig& config = tables.config;
    const std::vector<std::uint8_t> info = test::randomBits(config.infoBits, 17U + c.codedBits);
    const std::vector<float> soft = test::cleanSoftValues(test::transmitBits(config, info), 3.0f);

    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);
    int convergedAt = 0;
    const std::vector<std::uint8_t> bytes = decodeFrame(decoder, config, soft, &convergedAt);
    EXPECT_EQ(bytes, test::packBits(info));
    EXPECT_EQ(convergedAt, 2);
    EXPECT_EQ(decoder.halfIterations(), 4);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TurboRoundTripTest,
                         testing::Values(RoundTripCase{"mode0_rate_1_3", 4, 2, 324},
                                         RoundTripCase{"mode5_rate_1_2", 4, 3, 3486},
                                         RoundTripCase{"mode12_rate_2_3", 4, 4, 29160},
                                         RoundTripCase{"mode13_rate_4_5", 4, 6, 27840},
                                         RoundTripCase{"rate_15_16", 4, 10, 4000},
                                         RoundTripCase{"k3_rate_3_4", 3, 5, 2000},
                                         RoundTripCase{"k5_rate_7_8", 5, 9, 2000}),
                         [](const testing::TestParamInfo<RoundTripCase>& info) {
                             return info.param.name;
                         });

TEST(TurboDecoderTest, AllZeroWhitenedBitsConvergeAfterOneIteration) {
    test::FrameTables tables(4, 3, 3486, 41);
    const FecConfig& config = tables.config;
    // Sending the whitening sequence itself makes every whitened bit 0, the first comparison's
    // reference.
    const std::vector<std::uint8_t> info(tables.whitening.begin(), tables.whitening.end());
    const std::vector<float> soft = test::cleanSoftValues(test::transmitBits(config, info), 3.0f);
    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);
    int convergedAt = 0;
    const std::vector<std::uint8_t> bytes = decodeFrame(decoder, config, soft, &convergedAt);
    EXPECT_EQ(convergedAt, 2);
    EXPECT_EQ(decoder.halfIterations(), 2);
    EXPECT_EQ(bytes, test::packBits(info));
    for (std::uint8_t bit : decoder.decisions()) ASSERT_EQ(bit, 0);
}

// Mode 13's last three coded positions carry nothing; whatever sits in their soft values must
// not reach the decoder.
TEST(TurboDecoderTest, UnusedCodedPositionsAreNeverRead) {
    test::FrameTables tables(4, 6, 27840, 43);
    const FecConfig& config = tables.config;
    const std::vector<std::uint8_t> info = test::randomBits(config.infoBits, 44);
    std::vector<float> soft = test::cleanSoftValues(test::transmitBits(config, info), 3.0f);
    const int encoded = turboEncodedLength(config.infoBits, 4, 6);
    int poisoned = 0;
    for (std::size_t i = 0; i < soft.size(); ++i) {
        if (config.bitInterleaver[i] >= encoded) {
            soft[i] = std::numeric_limits<float>::quiet_NaN();
            ++poisoned;
        }
    }
    ASSERT_EQ(poisoned, 3);
    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);
    int convergedAt = 0;
    EXPECT_EQ(decodeFrame(decoder, config, soft, &convergedAt), test::packBits(info));
    EXPECT_EQ(convergedAt, 2);
}

// A decoder reused for frames of different layouts carries nothing from one frame to the next.
TEST(TurboDecoderTest, ReusedDecoderDecodesEachFrameOnItsOwn) {
    test::FrameTables large(4, 3, 18912, 51);
    test::FrameTables small(4, 2, 324, 52);
    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);
    for (int round = 0; round < 2; ++round) {
        for (const test::FrameTables* tables : {&large, &small}) {
            const FecConfig& config = tables->config;
            const std::vector<std::uint8_t> info =
                test::randomBits(config.infoBits, 60U + round + config.codedBits);
            const std::vector<float> soft =
                test::cleanSoftValues(test::transmitBits(config, info), 2.0f);
            int convergedAt = 0;
            EXPECT_EQ(decodeFrame(decoder, config, soft, &convergedAt), test::packBits(info));
            EXPECT_EQ(convergedAt, 2);
        }
    }
}

// All decoder state lives in the object: a copy taken between steps finishes exactly like the
// original, and neither disturbs the other.
TEST(TurboDecoderTest, CopyTakenMidFrameCarriesOnAlike) {
    test::FrameTables tables(4, 3, 3486, 61);
    const FecConfig& config = tables.config;
    const std::vector<std::uint8_t> info = test::randomBits(config.infoBits, 62);
    test::AwgnChannel channel(1.6 + 10.0 * std::log10(0.5), 63);
    const std::vector<float> soft = channel.softValues(test::transmitBits(config, info));

    TurboDecoder original(kMaxInfoBits, kMaxCodedBits);
    original.setUp(config, soft);
    original.fecStep(2);
    original.fecStep(3);
    TurboDecoder copy = original;
    for (int step = 4; step <= TurboDecoder::kLastIterationStep; ++step) {
        original.fecStep(step);
        copy.fecStep(step);
        ASSERT_EQ(original.converged(), copy.converged()) << "step " << step;
    }
    std::vector<std::uint8_t> a(static_cast<std::size_t>(config.infoBits / 8));
    std::vector<std::uint8_t> b(a.size());
    original.finish(a);
    copy.finish(b);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(std::equal(original.decisions().begin(), original.decisions().end(),
                           copy.decisions().begin(), copy.decisions().end()));
}

TEST(TurboDecoderTest, UncodedFrameTakesHardDecisions) {
    test::FrameTables tables(4, kUncodedRateIndex, 64, 71);
    const FecConfig& config = tables.config;
    const std::vector<std::uint8_t> info = test::randomBits(64, 72);
    const std::vector<float> soft = test::cleanSoftValues(test::transmitBits(config, info), 0.5f);
    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);
    int convergedAt = 0;
    EXPECT_EQ(decodeFrame(decoder, config, soft, &convergedAt), test::packBits(info));
    EXPECT_EQ(convergedAt, 2);
    EXPECT_EQ(decoder.halfIterations(), 0);
}

TEST(TurboDecoderTest, RefusesFramesThatDoNotFit) {
    test::FrameTables tables(4, 3, 3486, 81);
    const std::vector<float> soft(3486, 1.0f);
    TurboDecoder tooSmall(1000, 3486);
    EXPECT_THROW(tooSmall.setUp(tables.config, soft), std::invalid_argument);
    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);
    const std::vector<float> shortSoft(3485, 1.0f);
    EXPECT_THROW(decoder.setUp(tables.config, shortSoft), std::invalid_argument);
    decoder.setUp(tables.config, soft);
    std::vector<std::uint8_t> wrongSize(10);
    EXPECT_THROW(decoder.finish(wrongSize), std::invalid_argument);
}

// Rate 1/2 at Eb/N0 = 2 dB: about 10 % of the received bits are wrong before decoding. The
// decoder must bring nearly every frame through; passing the hard decisions on unchanged, or
// a broken trellis, leaves every frame wrong.
TEST(TurboDecoderTest, CorrectsErrorsAtModerateNoise) {
    test::FrameTables tables(4, 3, 3486, 91);
    const FecConfig& config = tables.config;
    const double rate = static_cast<double>(config.infoBits) / config.codedBits;
    test::AwgnChannel channel(2.0 + 10.0 * std::log10(rate), 92);
    TurboDecoder decoder(kMaxInfoBits, kMaxCodedBits);

    constexpr int kFrames = 30;
    int goodFrames = 0;
    long channelErrors = 0;
    long bitErrors = 0;
    for (int f = 0; f < kFrames; ++f) {
        const std::vector<std::uint8_t> info = test::randomBits(config.infoBits, 1000U + f);
        const std::vector<std::uint8_t> sent = test::transmitBits(config, info);
        const std::vector<float> soft = channel.softValues(sent);
        for (std::size_t i = 0; i < sent.size(); ++i) channelErrors += (soft[i] > 0) != sent[i];
        const std::vector<std::uint8_t> bytes = decodeFrame(decoder, config, soft);
        const std::vector<std::uint8_t> expected = test::packBits(info);
        goodFrames += bytes == expected;
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            bitErrors += std::popcount(static_cast<unsigned>(bytes[n] ^ expected[n]));
        }
    }
    const double channelBer = static_cast<double>(channelErrors) / (kFrames * config.codedBits);
    const double decodedBer = static_cast<double>(bitErrors) / (kFrames * config.infoBits);
    RecordProperty("channel_ber", std::to_string(channelBer));
    RecordProperty("decoded_ber", std::to_string(decodedBer));
    EXPECT_GT(channelBer, 0.08);
    EXPECT_LT(decodedBer, 1e-3);
    EXPECT_GE(goodFrames, 27);
}

}  // namespace
}  // namespace zolk
