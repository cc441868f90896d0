#include "phy/rx/pilot_equaliser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "synthetic_frames.h"

namespace zolk {
namespace {

using Channel = std::function<Complex(int symbol, int bin)>;

// A pilot mode's frame of known cells through `channel`; returns the clean cells beside it.
struct ChannelFrame {
    std::vector<Complex> clean;
    std::vector<Complex> received;
};

ChannelFrame throughChannel(int mode, const Channel& channel) {
    const ModeRecord& r = modeRecord(mode);
    const test::CarrierFrame frame = test::syntheticCarrierFrame(test::syntheticTables(mode, 61), 62);
    ChannelFrame f{frame.cells, frame.cells};
    for (int s = 2; s <= r.symbolLimit; ++s) {
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            Complex& cell = f.received[static_cast<std::size_t>((s - 2) * 64 + k)];
            cell = complexMul(cell, channel(s, k));
        }
    }
    return f;
}

// Largest distance of an equalised cell from what was sent, over the whole frame.
float worstCellError(const ModeRecord& r, const ChannelFrame& f) {
    float worst = 0.0f;
    for (int s = 2; s <= r.symbolLimit; ++s) {
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            const auto i = static_cast<std::size_t>((s - 2) * 64 + k);
            worst = std::max(worst, std::abs(f.received[i] - f.clean[i]));
        }
    }
    return worst;
}

struct PhaseCase {
    int mode;
    float perSymbol;
    float perSymbolSquared;
    float perBin;
};

class PilotCommonPhase : public ::testing::TestWithParam<PhaseCase> {};

// A carrier error, its drift and a delay ramp across the bins: the pilots give all three back and
// every cell of the frame returns to what was sent.
TEST_P(PilotCommonPhase, MeasuresAndRemovesIt) {
    const auto [mode, perSymbol, perSymbolSquared, perBin] = GetParam();
    const ModeRecord& r = modeRecord(mode);
    CommonPhase phase{static_cast<float>(2 + r.symbolLimit) / 2.0f, perSymbol, perSymbolSquared, perBin};
    ChannelFrame f = throughChannel(mode, [&](int s, int k) {
        return 0.6f * Complex{std::cos(phase.at(s, k) + 1.0f), std::sin(phase.at(s, k) + 1.0f)};
    });
    PilotEqualiser equaliser;
    equaliser.equalise(r, f.received);
    EXPECT_NEAR(equaliser.commonPhase().perSymbol, perSymbol, 1e-4f);
    EXPECT_NEAR(equaliser.commonPhase().perSymbolSquared, perSymbolSquared, 1e-6f);
    EXPECT_NEAR(equaliser.commonPhase().perBin, perBin, 1e-4f);
    EXPECT_LT(worstCellError(r, f), 1e-3f);
}

// 1 Hz/s of drift is 0.0036 rad per symbol squared in the 64-bin modes; 2 Hz of carrier error 0.3
// rad per symbol; a 4-sample delay 0.39 rad per bin.
INSTANTIATE_TEST_SUITE_P(Channels, PilotCommonPhase,
                         ::testing::Values(PhaseCase{10, 0.0f, 0.0f, 0.0f},
                                           PhaseCase{10, 0.3f, 0.0036f, -0.39f},
                                           PhaseCase{11, -0.2f, -0.0036f, 0.2f},
                                           PhaseCase{12, 0.05f, 0.001f, 0.39f},
                                           PhaseCase{13, -0.3f, 0.0036f, -0.1f}));

// Two paths 2 ms (6 samples) apart whose gains turn at 0.5 and -0.4 Hz against each other, with
// notches across the band and through time, and no noise: every cell comes back close to what was
// sent, except the worst cells in the notches, which the weights then silence.
TEST(PilotEqualiser, FollowsATwoPathChannel) {
    const ModeRecord& r = modeRecord(13);
    const float symbolSeconds = static_cast<float>(r.binsPerSymbol) * (1.0f + r.guardFraction) / 3000.0f;
    const auto rotation = [&](float hz, int s, float offset) {
        const float a = 2.0f * std::numbers::pi_v<float> * hz * symbolSeconds * static_cast<float>(s) + offset;
        return Complex{std::cos(a), std::sin(a)};
    };
    ChannelFrame f = throughChannel(13, [&](int s, int k) {
        const float delay = -2.0f * std::numbers::pi_v<float> * 6.0f * static_cast<float>(k) / 64.0f;
        return complexAdd(rotation(0.5f, s, 0.0f),
                          0.8f * complexMul(rotation(-0.4f, s, 1.0f), Complex{std::cos(delay), std::sin(delay)}));
    });
    PilotEqualiser equaliser;
    equaliser.equalise(r, f.received);
    double error = 0.0;
    double weightedError = 0.0;
    double weights = 0.0;
    int cells = 0;
    for (int s = 2; s <= r.symbolLimit; ++s) {
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            const auto i = static_cast<std::size_t>((s - 2) * 64 + k);
            const float e = complexPower(f.received[i] - f.clean[i]);
            error += e;
            weightedError += equaliser.weight(s, k) * e;
            weights += equaliser.weight(s, k);
            ++cells;
        }
    }
    EXPECT_NEAR(weights / cells, 1.0, 1e-3);
    EXPECT_LT(10.0 * std::log10(error / cells), -20.0);
    EXPECT_LT(10.0 * std::log10(weightedError / cells), -30.0);
}

// Half the band 20 dB down: the weights carry the channel's power, a strong cell 100 times a faded
// one, and a strong cell about twice the frame's mean.
TEST(PilotEqualiser, WeightsFollowTheChannelPower) {
    const ModeRecord& r = modeRecord(10);
    ChannelFrame f = throughChannel(10, [](int, int k) { return Complex{k < 32 ? 0.1f : 1.0f, 0.0f}; });
    PilotEqualiser equaliser;
    equaliser.equalise(r, f.received);
    for (const int s : {2, 51, 100, static_cast<int>(r.symbolLimit)}) {
        EXPECT_NEAR(equaliser.weight(s, 12) / equaliser.weight(s, 50), 0.01f, 1e-5f) << s;
        EXPECT_NEAR(equaliser.weight(s, 50), 2.0f, 0.05f) << s;
    }
}

}  // namespace
}  // namespace zolk
