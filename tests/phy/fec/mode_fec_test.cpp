#include "phy/fec/mode_fec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include "fec_test_support.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/fec/turbo_encoder.h"

namespace zolk {
namespace {

// The shipped tables file and the start-up whitening bits, shared by every case.
class ModeFecTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const TablesFileLoad load = loadTablesFile("data/ZOLKSAT.dat");
        ASSERT_EQ(load.error, TablesFileError::None) << load.message;
        s_tables = load.tables;
        RandomSource random;
        s_drawn = std::make_unique<DrawnTables>(random);
    }
    static void TearDownTestSuite() {
        s_drawn.reset();
        s_tables.reset();
    }

    static FecConfig config(int mode) {
        return fecConfigForMode(mode, *s_tables, s_drawn->pseudoRandomBits());
    }

    // The transmit side of the frame modulator's bit chain: bytes expanded most significant bit
    // first, whitened, turbo encoded and bit interleaved.
    static std::vector<std::uint8_t> sentBits(int mode, std::span<const std::uint8_t> bytes) {
        const FecConfig c = config(mode);
        std::vector<std::uint8_t> info(static_cast<std::size_t>(c.infoBits), 0);
        for (std::size_t i = 0; i < 8 * bytes.size(); ++i)
            info[i] = (bytes[i / 8] >> (7 - i % 8)) & 1U;
        return test::transmitBits(c, info);
    }

    static std::vector<std::uint8_t> randomBytes(int mode, std::uint32_t seed) {
        return test::packBits(test::randomBits(modeRecord(mode).netBytes * 8, seed));
    }

    // Runs steps 1..9 as acceptance does; returns the first step after which the decoder had
    // converged (0 if never).
    static int decode(ModeTurboDecoder& decoder, int mode, std::span<const float> soft) {
        int convergedAt = 0;
        for (int step = 1; step <= TurboDecoder::kLastIterationStep; ++step) {
            decoder.fecStep(step, mode, soft);
            if (step > 1 && convergedAt == 0 && decoder.decoder().converged()) convergedAt = step;
        }
        return convergedAt;
    }

    static std::shared_ptr<const TablesFile> s_tables;
    static std::unique_ptr<DrawnTables> s_drawn;
};

std::shared_ptr<const TablesFile> ModeFecTest::s_tables;
std::unique_ptr<DrawnTables> ModeFecTest::s_drawn;

TEST_F(ModeFecTest, EncoderFillsModesZeroFiveAndThirteen) {
    struct Case {
        int mode;
        int encodedLength;
    };
    for (const Case& c : std::array<Case, 3>{{{0, 324}, {5, 3486}, {13, 27837}}}) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode);
        const FecConfig fec = config(c.mode);
        const std::vector<std::uint8_t> ones(static_cast<std::size_t>(fec.infoBits), 1);
        std::vector<std::uint8_t> coded(static_cast<std::size_t>(fec.codedBits), 1);
        EXPECT_EQ(turboEncode(ones, fec, coded), c.encodedLength);
        EXPECT_EQ(static_cast<int>(coded.size()), modeRecord(c.mode).codedBits);
        EXPECT_TRUE(std::all_of(coded.begin() + c.encodedLength, coded.end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
    EXPECT_EQ(modeRecord(13).codedBits, 27840);
}

// Every mode: a clean frame comes back byte for byte, settles after two iterations, within
// step 2, and needs no more.
TEST_F(ModeFecTest, EveryModeRoundTripsACleanFrameAndStopsAfterTwoIterations) {
    ModeTurboDecoder decoder(*s_tables, s_drawn->pseudoRandomBits());
    for (int mode = 0; mode < kModeCount; ++mode) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        const std::vector<std::uint8_t> bytes = randomBytes(mode, 500U + mode);
        const std::vector<float> soft = test::cleanSoftValues(sentBits(mode, bytes), 1.0f);
        EXPECT_EQ(decode(decoder, mode, soft), 2);
        EXPECT_EQ(decoder.decoder().halfIterations(), 4);
        const std::span<const std::uint8_t> out = decoder.frameBytes();
        ASSERT_EQ(out.size(), bytes.size());
        EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin()));
    }
}

// Bytes equal to the whitening sequence leave only zeros for the turbo code: the first decisions
// equal the all-zero start and decoding stops after one iteration.
TEST_F(ModeFecTest, AllZeroWhitenedBitsStopAfterOneIteration) {
    ModeTurboDecoder decoder(*s_tables, s_drawn->pseudoRandomBits());
    // Modes whose InfoBits are whole bytes: elsewhere the bits after the last byte are 0 before
    // whitening, so they cannot all be 0 after it.
    for (int mode : {0, 2, 12}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        const std::span<const std::uint8_t> whitening = s_drawn->pseudoRandomBits();
        const std::vector<std::uint8_t> bytes = test::packBits(
            whitening.first(static_cast<std::size_t>(modeRecord(mode).netBytes) * 8));
        const std::vector<float> soft = test::cleanSoftValues(sentBits(mode, bytes), 1.0f);
        EXPECT_EQ(decode(decoder, mode, soft), 2);
        EXPECT_EQ(decoder.decoder().halfIterations(), 2);
        const std::span<const std::uint8_t> out = decoder.frameBytes();
        EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin(), bytes.end()));
    }
}

TEST_F(ModeFecTest, RefusesUnknownModesAndWrongSoftValueCounts) {
    EXPECT_THROW(config(15), std::invalid_argument);
    EXPECT_THROW(config(-1), std::invalid_argument);
    ModeTurboDecoder decoder(*s_tables, s_drawn->pseudoRandomBits());
    const std::vector<float> soft(static_cast<std::size_t>(modeRecord(5).codedBits) - 1, 1.0f);
    EXPECT_THROW(decoder.fecStep(1, 5, soft), std::invalid_argument);
}

struct NoiseCase {
    int mode;
    double ebN0Db;
    int frames;
    int minGoodFrames;
    double minChannelBer;
};

// BPSK over white noise with the shipped interleavers, in the mode's own soft-value convention.
// Before decoding 3 % (rate 4/5) to 13 % (rate 1/3) of the bits are wrong; the decoder must
// bring nearly every frame through.
TEST_F(ModeFecTest, ShippedInterleaversCorrectErrorsAtModerateNoise) {
    const std::array<NoiseCase, 3> cases = {
        {{0, 3.0, 40, 36, 0.1}, {8, 2.0, 10, 9, 0.09}, {13, 3.5, 6, 5, 0.02}}};
    ModeTurboDecoder decoder(*s_tables, s_drawn->pseudoRandomBits());
    for (const NoiseCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode);
        const ModeRecord& r = modeRecord(c.mode);
        const double rate = static_cast<double>(r.infoBits) / r.codedBits;
        test::AwgnChannel channel(c.ebN0Db + 10.0 * std::log10(rate), 700U + c.mode);
        int good = 0;
        long channelErrors = 0;
        for (int f = 0; f < c.frames; ++f) {
            const std::vector<std::uint8_t> bytes = randomBytes(c.mode, 800U + f);
            const std::vector<std::uint8_t> sent = sentBits(c.mode, bytes);
            const std::vector<float> soft = channel.softValues(sent);
            for (std::size_t i = 0; i < sent.size(); ++i) channelErrors += (soft[i] > 0) != sent[i];
            decode(decoder, c.mode, soft);
            const std::span<const std::uint8_t> out = decoder.frameBytes();
            good += std::equal(out.begin(), out.end(), bytes.begin(), bytes.end());
        }
        const double channelBer = static_cast<double>(channelErrors) / (c.frames * r.codedBits);
        EXPECT_GT(channelBer, c.minChannelBer);
        EXPECT_GE(good, c.minGoodFrames) << "channel BER " << channelBer;
    }
}

}  // namespace
}  // namespace zolk
