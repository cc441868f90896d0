#include "phy/rx/busy_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "phy/common/audio_engine.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/rx/receive_front_end.h"
#include "sim/voice_signal.h"

namespace zolk {
namespace {

// --- the floor test ---------------------------------------------------------------------------

std::vector<float> flat(float power) { return std::vector<float>(kBusyBins, power); }

std::vector<float> withBins(std::vector<float> powers, std::size_t first, std::size_t count, float power) {
    std::fill_n(powers.begin() + static_cast<std::ptrdiff_t>(first), count, power);
    return powers;
}

bool floorTest(const std::vector<float>& powers) {
    std::vector<float> work(powers.size());
    return signalAboveFloor(powers, work);
}

TEST(BusyFloorTest, FindsOnlyBinsWellAboveTheFloor) {
    struct Case {
        const char* name;
        std::vector<float> powers;
        bool signal;
    };
    std::mt19937 random(5);
    std::exponential_distribution<float> noisePower(1.0f);
    std::vector<float> noise(kBusyBins);
    for (auto& p : noise) p = noisePower(random);
    const Case cases[] = {
        {"flat", flat(1.0f), false},
        {"silence", flat(0.0f), false},
        {"one bin 30x a flat floor", withBins(flat(1.0f), 50, 1, 30.0f), true},
        {"one bin just above 23x", withBins(flat(1.0f), 50, 1, 23.5f), true},
        {"one bin at 23x stays within the floor", withBins(flat(1.0f), 50, 1, 23.0f), false},
        {"one bin 20x", withBins(flat(1.0f), 50, 1, 20.0f), false},
        {"one bin on a silent floor", withBins(flat(0.0f), 3, 1, 1e-6f), true},
        // The first threshold (23) takes the 20s; their mean lifts it past the 300s: no signal.
        {"a staircase is taken step by step",
         withBins(withBins(flat(1.0f), 7, 50, 20.0f), 57, 48, 300.0f), false},
        // A step too high for the grown floor stays out.
        {"a staircase with a peak on top",
         withBins(withBins(withBins(flat(1.0f), 7, 50, 20.0f), 57, 47, 300.0f), 104, 1, 1e6f), true},
        {"white noise powers", noise, false},
        {"white noise and a tone", withBins(noise, 40, 1, 200.0f), true},
    };
    for (const Case& c : cases) EXPECT_EQ(floorTest(c.powers), c.signal) << c.name;
}

TEST(BusyFloorTest, RefusesAMismatchedWorkArea) {
    std::vector<float> powers(kBusyBins, 1.0f);
    std::vector<float> work(kBusyBins - 1);
    EXPECT_THROW(signalAboveFloor(powers, work), std::invalid_argument);
    std::vector<float> few(6, 1.0f);
    std::vector<float> fewWork(6);
    EXPECT_THROW(signalAboveFloor(few, fewWork), std::invalid_argument);
}

// --- the detector on baseband samples ------------------------------------------------------------

// Pushes samples; returns the block numbers (1 = the first complete block) of each verdict.
struct Verdicts {
    std::vector<int> busy;
    std::vector<int> free;
};

Verdicts runBaseband(BusyDetector& detector, int blocks, const std::function<Complex(long)>& sample,
                     const std::function<float(int)>& levelDb) {
    Verdicts v;
    long n = 0;
    for (int block = 1; block <= blocks; ++block) {
        for (std::size_t i = 0; i < kBusyBlockSamples; ++i, ++n) {
            const BusyVerdict verdict = detector.push(sample(n), levelDb(block));
            if (i + 1 < kBusyBlockSamples) {
                EXPECT_EQ(verdict, BusyVerdict::None);
            }
            if (verdict == BusyVerdict::Busy) v.busy.push_back(block);
            if (verdict == BusyVerdict::Free) v.free.push_back(block);
        }
    }
    return v;
}

Complex basebandTone(long n) {
    const double phase = 2.0 * std::numbers::pi * 1000.0 * static_cast<double>(n) / 3000.0;
    return {static_cast<float>(std::cos(phase)), static_cast<float>(std::sin(phase))};
}

TEST(BusyDetector, TestsEveryThirdBlockAndReleases165BlocksAfterTheLastDetection) {
    BusyDetector detector;
    // A tone for 30 blocks, then silence.
    const auto v = runBaseband(
        detector, 400, [](long n) { return n < 30 * 128 ? basebandTone(n) : Complex{}; }, [](int) { return -10.0f; });
    EXPECT_EQ(v.busy, (std::vector<int>{3, 6, 9, 12, 15, 18, 21, 24, 27, 30}));
    // Free 165 blocks after block 30, and again at every further wrap of the count.
    EXPECT_EQ(v.free, (std::vector<int>{195, 360}));
}

TEST(BusyDetector, NoTestAtOrBelowTheLevelGate) {
    for (const float levelDb : {-40.0f, -60.0f, -96.3f}) {
        BusyDetector detector;
        const auto v = runBaseband(detector, 200, basebandTone, [=](int) { return levelDb; });
        EXPECT_TRUE(v.busy.empty()) << levelDb;
        EXPECT_EQ(v.free, (std::vector<int>{165})) << levelDb;
    }
    // Just above the gate the same tone is found at the first test.
    BusyDetector detector;
    const auto v = runBaseband(detector, 3, basebandTone, [](int) { return -39.9f; });
    EXPECT_EQ(v.busy, (std::vector<int>{3}));
}

// A detection in the block that ends the release time keeps the channel busy: no free verdict
// in between.
TEST(BusyDetector, ASignalAtTheEndOfTheReleaseTimeKeepsTheChannelBusy) {
    BusyDetector detector;
    // Tone in blocks 1..3 (detected at 3) and again in block 168 = 3 + 165, a test block.
    const auto v = runBaseband(
        detector, 170,
        [](long n) {
            const long block = n / 128 + 1;
            return block <= 3 || block == 168 ? basebandTone(n) : Complex{};
        },
        [](int) { return -10.0f; });
    EXPECT_EQ(v.busy, (std::vector<int>{3, 168}));
    EXPECT_TRUE(v.free.empty());
}

TEST(BusyDetector, RestartBeginsAFreshBlockAndCount) {
    BusyDetector detector;
    for (int i = 0; i < 100; ++i) detector.push(basebandTone(i), -10.0f);
    detector.restart();
    EXPECT_EQ(detector.freeCount(), 0);
    // Silence after the restart: the old tone samples do not make the next block a signal, and
    // the first test comes three whole blocks after the restart.
    const auto v = runBaseband(detector, 165, [](long) { return Complex{}; }, [](int) { return -10.0f; });
    EXPECT_TRUE(v.busy.empty());
    EXPECT_EQ(v.free, (std::vector<int>{165}));
}

// --- through the receive front-end ---------------------------------------------------------------

// Audio at 48000 Hz in 16-bit scale, sample n.
using AudioSource = std::function<double(long)>;

constexpr double kAudioRateHz = 48000.0;

// S/N in a 2500 Hz bandwidth, as the modem's gauge quotes it: the noise deviation at 48000 Hz for
// a signal of power signalPower.
double noiseSigma(double signalPower, double snrDb) {
    return std::sqrt(signalPower * (kAudioRateHz / 2.0) / (2500.0 * std::pow(10.0, snrDb / 10.0)));
}

double tone(long n, double hz, double amplitude) {
    return amplitude * std::cos(2.0 * std::numbers::pi * hz * static_cast<double>(n) / kAudioRateHz);
}

// Mean power of a source over its first seconds.
double meanPower(const std::function<double(long)>& audio, double seconds) {
    const long count = static_cast<long>(seconds * kAudioRateHz);
    double sum = 0.0;
    for (long n = 0; n < count; ++n) sum += audio(n) * audio(n);
    return sum / static_cast<double>(count);
}

class FrontEndBusy : public ::testing::Test {
protected:
    class Client final : public FrontEndClient {
    public:
        ReceiveConditions receiveConditions() const override { return {}; }
        void busySample(Complex x) override {
            ++samples;
            if (detector.push(x, levelDb) == BusyVerdict::Busy) busyTimes.push_back(static_cast<double>(samples) / 3000.0);
        }
        void waterfallSample(Complex) override {}
        void sessionTick() override {}

        BusyDetector detector;
        float levelDb = -96.0f;
        long samples = 0;
        std::vector<double> busyTimes;
    };

    // Runs the audio through the front-end for the given time, the level gate fed as the level
    // gauge measures it (the peak of each 100 ms, shown for the next 100 ms). Returns the times
    // in seconds of the busy verdicts.
    std::vector<double> run(const AudioSource& audio, double seconds, double noiseSigma, unsigned seed) {
        std::mt19937 random(seed);
        std::normal_distribution<double> gauss(0.0, 1.0);
        const long blocks = static_cast<long>(seconds * kAudioRateHz / kAudioBlockLength);
        std::array<float, kAudioBlockLength> block{};
        float peak = 0.0f;
        long n = 0;
        for (long b = 0; b < blocks; ++b) {
            for (auto& s : block) {
                const double x = std::round(audio(n++) + noiseSigma * gauss(random));
                s = static_cast<float>(std::clamp(x, -32768.0, 32767.0));
                peak = std::max(peak, std::abs(s));
            }
            frontEnd.processCaptureBlock(block);
            if (n % 4800 < static_cast<long>(kAudioBlockLength)) {  // a gauge tick every 100 ms
                client.levelDb = captureLevelDb(peak);
                peak = 0.0f;
            }
        }
        return client.busyTimes;
    }

    RandomSource random;
    DrawnTables tables{random};
    Client client;
    ReceiveFrontEnd frontEnd{tables, client};
};

TEST_F(FrontEndBusy, ToneAndVoiceAreFoundWithinASecond) {
    struct Case {
        const char* name;
        AudioSource audio;
        double snrDb;
    };
    const Case cases[] = {
        {"tone 800 Hz at 0 dB", [](long n) { return tone(n, 800.0, 3000.0); }, 0.0},
        {"tone 2400 Hz at -5 dB", [](long n) { return tone(n, 2400.0, 3000.0); }, -5.0},
        {"voice at +5 dB", [](long n) { return sim::voiceSample({.amplitude = 4000.0}, n); }, 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client = Client{};
        const auto times = run(c.audio, 1.2, noiseSigma(meanPower(c.audio, 1.0), c.snrDb), 11);
        ASSERT_FALSE(times.empty());
        // The first gauge tick opens the gate after 0.1 s; the first test then comes within 3 blocks.
        EXPECT_LE(times.front(), 1.0);
    }
}

// Noise alone, from below the level gate to a loud hiss, makes no detection in a minute.
TEST_F(FrontEndBusy, NoiseAloneIsNotASignal) {
    for (const double sigma : {40.0, 300.0, 3000.0}) {
        client = Client{};
        EXPECT_TRUE(run([](long) { return 0.0; }, 60.0, sigma, static_cast<unsigned>(sigma)).empty()) << sigma;
    }
}

}  // namespace
}  // namespace zolk
