#include "sim/channel_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "phy/common/fft.h"

namespace zolk::sim {
namespace {

constexpr double kRate = 48000.0;

std::vector<float> tone(double frequencyHz, double amplitude, std::size_t length, std::size_t from = 0) {
    std::vector<float> x(from + length, 0.0F);
    for (std::size_t n = 0; n < length; ++n) {
        x[from + n] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequencyHz * n / kRate));
    }
    return x;
}

// |X_k|^2 of a Hann-windowed stretch (size a power of two) of x starting at from.
std::vector<double> powerSpectrum(std::span<const float> x, std::size_t from, std::size_t size) {
    std::vector<Complex> bins(size);
    for (std::size_t n = 0; n < size; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / size);
        bins[n] = Complex(static_cast<float>(w * x[from + n]), 0.0F);
    }
    Fft(size).transform(bins);
    std::vector<double> power(size / 2);
    for (std::size_t k = 0; k < size / 2; ++k) power[k] = std::norm(std::complex<double>(bins[k]));
    return power;
}

// Frequency of the strongest line, interpolated between bins on the log spectrum (Gaussian fit).
double peakFrequency(std::span<const float> x, std::size_t from, std::size_t size) {
    const auto power = powerSpectrum(x, from, size);
    const auto k = static_cast<std::size_t>(std::max_element(power.begin() + 1, power.end() - 1) - power.begin());
    const double a = std::log(power[k - 1]);
    const double b = std::log(power[k]);
    const double c = std::log(power[k + 1]);
    const double delta = 0.5 * (a - c) / (a - 2.0 * b + c);
    return (static_cast<double>(k) + delta) * kRate / static_cast<double>(size);
}

// Strongest power within halfWidthHz of frequencyHz, relative to the overall strongest, in dB.
double levelNear(std::span<const double> power, std::size_t size, double frequencyHz, double halfWidthHz) {
    const double binHz = kRate / static_cast<double>(size);
    const auto lo = static_cast<std::size_t>((frequencyHz - halfWidthHz) / binHz);
    const auto hi = static_cast<std::size_t>((frequencyHz + halfWidthHz) / binHz);
    const double near = *std::max_element(power.begin() + lo, power.begin() + hi + 1);
    return 10.0 * std::log10(near / *std::max_element(power.begin(), power.end()));
}

std::vector<float> run(const ChannelSettings& settings, std::vector<float> audio) {
    ChannelModel(settings).process(audio);
    return audio;
}

TEST(ChannelModelTest, NoiseMeetsTheRequestedSnrIn2500Hz) {
    struct Case {
        const char* name;
        double snrDb;
        double offsetHz;
        bool fading;
    };
    constexpr std::array kCases{
        Case{"plain 0 dB", 0.0, 0.0, false},
        Case{"plain -12 dB", -12.0, 0.0, false},
        Case{"plain +25 dB", 25.0, 0.0, false},
        Case{"offset and fading 3 dB", 3.0, 15.0, true},
    };
    // On air 8 s of three tones between 0.5 s of silence before and 2 s after: only the on-air
    // part counts for the signal power.
    constexpr std::size_t kSize = 1 << 19;
    std::vector<float> sent(kSize, 0.0F);
    for (const double f : {600.0, 1500.0, 2400.0}) {
        const auto part = tone(f, 4000.0, 8 * 48000, 24000);
        for (std::size_t n = 0; n < part.size(); ++n) sent[n] += part[n];
    }
    const double signalPower = onAirPower(sent);
    EXPECT_NEAR(signalPower, 3 * 4000.0 * 4000.0 / 2, 1e4);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ChannelSettings settings{.offsetHz = c.offsetHz, .signalPower = signalPower, .seed = 77};
        if (c.fading) settings.fading = FadingSettings{};
        const auto clean = run(settings, sent);
        settings.snrDb = c.snrDb;
        const auto noisy = run(settings, sent);
        std::vector<float> noise(kSize);
        for (std::size_t n = 0; n < kSize; ++n) noise[n] = noisy[n] - clean[n];
        // Noise power in 300..2800 Hz by Parseval on the unwindowed transform.
        std::vector<Complex> bins(kSize);
        for (std::size_t n = 0; n < kSize; ++n) bins[n] = Complex(noise[n], 0.0F);
        Fft(kSize).transform(bins);
        const double binHz = kRate / kSize;
        double bandPower = 0.0;
        for (auto k = static_cast<std::size_t>(300.0 / binHz); k < static_cast<std::size_t>(2800.0 / binHz); ++k) {
            bandPower += 2.0 * std::norm(std::complex<double>(bins[k]));
        }
        bandPower /= static_cast<double>(kSize) * kSize;
        EXPECT_NEAR(10.0 * std::log10(signalPower / bandPower), c.snrDb, 0.2);
    }
}

TEST(ChannelModelTest, OffsetMovesAToneByExactlyThatMuchWithoutAnImage) {
    struct Case {
        double toneHz;
        double offsetHz;
    };
    constexpr std::array kCases{Case{1000.0, 15.0}, Case{1000.0, -37.5}, Case{2500.0, 123.4},
                                Case{200.0, 15.0}};
    constexpr std::size_t kSize = 1 << 18;
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.toneHz) + " Hz moved by " + std::to_string(c.offsetHz) + " Hz");
        ChannelModel channel({.offsetHz = c.offsetHz});
        auto audio = tone(c.toneHz, 10000.0, kSize + 2 * channel.latency());
        channel.process(audio);
        const std::size_t from = channel.latency() + 1000;
        EXPECT_NEAR(peakFrequency(audio, from, kSize), c.toneHz + c.offsetHz, 0.01);
        // Mixing a real tone would leave the same line at tone - offset; the analytic shift does not.
        const auto power = powerSpectrum(audio, from, kSize);
        EXPECT_LT(levelNear(power, kSize, c.toneHz - c.offsetHz, 2.0), -60.0);
    }
}

TEST(ChannelModelTest, DriftMovesAToneLinearly) {
    constexpr double kDrift = 0.5;
    constexpr double kOffset = 15.0;
    constexpr std::size_t kWindow = 1 << 15;  // 0.68 s
    ChannelModel channel({.offsetHz = kOffset, .driftHzPerS = kDrift});
    auto audio = tone(1200.0, 10000.0, 40 * 48000);
    channel.process(audio);
    for (const double centreS : {2.0, 10.0, 20.0, 35.0}) {
        SCOPED_TRACE(std::to_string(centreS) + " s");
        const auto from = static_cast<std::size_t>(centreS * kRate) - kWindow / 2;
        EXPECT_NEAR(peakFrequency(audio, from, kWindow), 1200.0 + kOffset + kDrift * centreS, 0.05);
    }
}

// Where the step of a burst crosses half its height, first rising then falling.
std::pair<double, double> burstEdges(std::span<const float> x, float height) {
    auto crossing = [&](std::size_t n) {
        return static_cast<double>(n - 1) + (height / 2 - x[n - 1]) / (x[n] - x[n - 1]);
    };
    std::size_t n = 1;
    while (x[n] < height / 2) ++n;
    const double rise = crossing(n);
    while (x[n] >= height / 2) ++n;
    return {rise, crossing(n)};
}

TEST(ChannelModelTest, DelayAndClockOffsetPlaceAndStretchABurst) {
    struct Case {
        double delayMs;
        double ppm;
    };
    constexpr std::array kCases{Case{0.0, 100.0}, Case{0.0, -100.0}, Case{20.0, 0.0},
                                Case{2.5, 1000.0}};
    constexpr std::size_t kStart = 24000;
    constexpr std::size_t kLength = 10 * 48000;
    constexpr float kHeight = 10000.0F;
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.delayMs) + " ms, " + std::to_string(c.ppm) + " ppm");
        ChannelModel channel({.delayMs = c.delayMs, .clockPpm = c.ppm});
        std::vector<float> audio(kStart + kLength + 48000 + channel.latency(), 0.0F);
        std::fill_n(audio.begin() + kStart, kLength, kHeight);
        channel.process(audio);
        const auto [rise, fall] = burstEdges(audio, kHeight);
        const double stretch = 1.0 + c.ppm * 1e-6;
        const double delay = c.delayMs * 48.0 + static_cast<double>(channel.latency());
        // The half-height point of a step from sample s-1 to s lies at s - 0.5 on the sender's clock.
        EXPECT_NEAR(rise, (kStart - 0.5 + delay) * stretch, 0.1);
        EXPECT_NEAR(fall - rise, kLength * stretch, 0.1);
    }
}

TEST(ChannelModelTest, FadingKeepsTheMeanPowerWithRayleighStatistics) {
    // A steady tone through two fading paths: the short-time power follows |g1 + g2 e^(-jwt)|^2,
    // exponentially distributed around the input power.
    constexpr double kSeconds = 150.0;
    constexpr std::size_t kPiece = 96;  // 2 ms
    constexpr double kAmplitude = 10000.0;
    ChannelModel channel({.fading = FadingSettings{.spreadHz = 5.0, .delayMs = 2.0}, .seed = 3});
    auto audio = tone(1500.0, kAmplitude, static_cast<std::size_t>(kSeconds * kRate));
    channel.process(audio);
    const double inputPower = kAmplitude * kAmplitude / 2;
    std::vector<double> pieces;
    for (std::size_t from = channel.latency(); from + kPiece <= audio.size(); from += kPiece) {
        double sum = 0.0;
        for (std::size_t n = from; n < from + kPiece; ++n) sum += static_cast<double>(audio[n]) * audio[n];
        pieces.push_back(sum / kPiece / inputPower);
    }
    double mean = 0.0;
    for (const double p : pieces) mean += p;
    mean /= static_cast<double>(pieces.size());
    EXPECT_NEAR(10.0 * std::log10(mean), 0.0, 0.3);
    for (const double level : {0.1, 1.0}) {
        SCOPED_TRACE("fraction of time below " + std::to_string(level) + " of the mean");
        const auto below = std::count_if(pieces.begin(), pieces.end(), [&](double p) { return p < level; });
        EXPECT_NEAR(static_cast<double>(below) / static_cast<double>(pieces.size()), 1.0 - std::exp(-level), 0.04);
    }
}

TEST(ChannelModelTest, SameSeedSameAudioWhateverTheBlockSize) {
    const ChannelSettings settings{.offsetHz = 15.0,
                                   .driftHzPerS = 0.5,
                                   .clockPpm = 100.0,
                                   .fading = FadingSettings{},
                                   .snrDb = 0.0,
                                   .signalPower = 1e6,
                                   .seed = 42};
    const auto input = tone(1000.0, 1000.0, 20 * 256);
    const auto whole = run(settings, input);
    auto blocks = input;
    ChannelModel channel(settings);
    for (std::size_t from = 0; from < blocks.size(); from += 256) {
        channel.process(std::span<float, kBlockSamples>(blocks.data() + from, kBlockSamples));
    }
    EXPECT_EQ(whole, blocks);
    auto other = settings;
    other.seed = 43;
    EXPECT_NE(whole, run(other, input));
}

TEST(ChannelModelTest, RefusesSettingsOutOfRange) {
    struct Case {
        const char* name;
        ChannelSettings settings;
    };
    const std::array cases{
        Case{"noise without signal power", {.snrDb = 10.0}},
        Case{"infinite S/N", {.snrDb = INFINITY, .signalPower = 1.0}},
        Case{"clock offset", {.clockPpm = 1500.0}},
        Case{"negative delay", {.delayMs = -1.0}},
        Case{"fading delay", {.fading = FadingSettings{.spreadHz = 1.0, .delayMs = 80.0}}},
        Case{"fading spread", {.fading = FadingSettings{.spreadHz = -1.0, .delayMs = 2.0}}},
        Case{"offset", {.offsetHz = NAN}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(ChannelModel{c.settings}, std::invalid_argument);
    }
}

}  // namespace
}  // namespace zolk::sim
