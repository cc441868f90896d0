// The control-frame detector on audio through the real front-end: hit rule, choice between codes,
// the countdown, the coarse and fine offsets and the AFC, and inputs that must not report.
#include "phy/rx/control_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "support/recording_front_end_client.h"

namespace zolk {
namespace {

// Patterns with the drawing's shape (a new band every symbol, a tone inside it) from a fixed
// little generator, so that the detector is tested without the session's drawing.
ControlPatternTable testPatterns() {
    ControlPatternTable t;
    std::uint32_t state = 12345;
    const auto next = [&](int n) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(n));
    };
    for (int c = 1; c <= kControlCodeCount; ++c) {
        int previous = 0;
        for (int s = 0; s < kControlSymbols; ++s) {
            int low = next(7) * 7 + 8;
            while (low == previous) low = next(7) * 7 + 8;
            previous = low;
            t.bandLow[c][s] = static_cast<std::uint8_t>(low);
            t.toneOf[c][s] = static_cast<std::uint8_t>(low + next(7));
        }
    }
    return t;
}

// A tone of the same band three or four tones away: never the strongest at the pattern's tone.
int wrongTone(const ControlPatternTable& t, int code, int s) {
    const int low = t.bandLow[code][s];
    return low + (t.toneOf[code][s] - low + 3) % 7;
}

struct Heard {
    ControlDetection detection;
    int run = 0;
};

class ControlDetectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        frontEnd = std::make_unique<ReceiveFrontEnd>(drawn, client);
        client.frontEnd = frontEnd.get();
        detector = std::make_unique<ControlDetector>(*frontEnd);
        listen(ControlSearch::Wide);
        client.onRow = [this] {
            ++runs;
            if (auto d = detector->listenFor(table, codes, search)) heard.push_back({*d, runs});
            if (detector->countdown() == ControlDetector::kCountdownRuns - 1) lastImprovement = runs;
        };
    }
    void listen(ControlSearch s) {
        search = s;
        const bool narrow = s == ControlSearch::Narrow;
        client.conditions.listenMode = true;
        client.conditions.sessionActive = narrow;
        client.conditions.narrowSpectrogram = narrow;
    }
    // 300 ms of silence, the symbols' tones at offsetHz (1024 samples each), 300 ms of silence.
    void play(const std::vector<int>& tones, double offsetHz = 0.0, double amplitude = 3000.0) {
        std::vector<float> audio(14400, 0.0f);
        double phase = 0.0;
        for (int tone : tones) {
            const double step = 2.0 * std::numbers::pi * (tone * 46.875 + offsetHz) / 48000.0;
            for (int n = 0; n < 1024; ++n, phase += step) {
                audio.push_back(static_cast<float>(amplitude * std::sin(phase)));
            }
        }
        audio.resize(audio.size() + 14400 + (256 - audio.size() % 256) % 256, 0.0f);
        for (std::size_t b = 0; b + 256 <= audio.size(); b += 256) {
            frontEnd->processCaptureBlock(std::span<const float, 256>(audio.data() + b, 256));
        }
    }
    // Symbols each holding all seven tones of the code's band: the pattern's tone at patternAmplitude
    // in the first `above` symbols and at 0.6 of the others' amplitude after, the other six at
    // 3000. Then 300 ms of silence.
    void playBands(int code, int above, double patternAmplitude) {
        std::vector<float> audio(14400, 0.0f);
        for (int s = 0; s < kControlSymbols; ++s) {
            for (int n = 0; n < 1024; ++n) {
                const double t = (s * 1024 + n) / 48000.0;
                double v = 0.0;
                for (int k = 0; k < kControlBandTones; ++k) {
                    const int tone = table.bandLow[code][s] + k;
                    const double a = tone != table.toneOf[code][s] ? 3000.0 : s < above ? patternAmplitude : 1800.0;
                    v += a * std::sin(2.0 * std::numbers::pi * tone * 46.875 * t + k);
                }
                audio.push_back(static_cast<float>(v));
            }
        }
        audio.resize(audio.size() + 14400 + (256 - audio.size() % 256) % 256, 0.0f);
        feed(audio);
    }
    // The code's pattern (amplitude 3000) in white noise at snrDb in 2500 Hz, 0.3 s of noise on
    // either side.
    void playInNoise(int code, double snrDb, unsigned seed) {
        const double signalPower = 3000.0 * 3000.0 / 2.0;
        const double sigma = std::sqrt(signalPower / std::pow(10.0, snrDb / 10.0) * 24000.0 / 2500.0);
        std::mt19937 random(seed);
        std::normal_distribution<double> noise(0.0, sigma);
        std::vector<float> audio(14400, 0.0f);
        double phase = 0.0;
        for (int s = 0; s < kControlSymbols; ++s) {
            const double step = 2.0 * std::numbers::pi * table.toneOf[code][s] * 46.875 / 48000.0;
            for (int n = 0; n < 1024; ++n, phase += step) audio.push_back(static_cast<float>(3000.0 * std::sin(phase)));
        }
        audio.resize(audio.size() + 14400 + (256 - audio.size() % 256) % 256, 0.0f);
        for (float& v : audio) v += static_cast<float>(noise(random));
        feed(audio);
    }
    void feed(const std::vector<float>& audio) {
        for (std::size_t b = 0; b + 256 <= audio.size(); b += 256) {
            frontEnd->processCaptureBlock(std::span<const float, 256>(audio.data() + b, 256));
        }
    }
    std::vector<int> pattern(int code, int correct = kControlSymbols) const {
        std::vector<int> tones;
        for (int s = 0; s < kControlSymbols; ++s) tones.push_back(s < correct ? table.toneOf[code][s] : wrongTone(table, code, s));
        return tones;
    }

    RandomSource random;
    DrawnTables drawn{random};
    test::RecordingFrontEndClient client;
    std::unique_ptr<ReceiveFrontEnd> frontEnd;
    std::unique_ptr<ControlDetector> detector;
    ControlPatternTable table = testPatterns();
    std::vector<std::uint8_t> codes = {3, 4, 12, 13, 20};
    ControlSearch search = ControlSearch::Wide;
    std::vector<Heard> heard;
    int runs = 0;
    int lastImprovement = -1;
};

TEST_F(ControlDetectorTest, NineteenHitsAreReportedEighteenAreNot) {
    struct Case {
        int correct;
        ControlSearch search;
        bool reported;
    };
    for (const Case c : {Case{31, ControlSearch::Wide, true}, Case{19, ControlSearch::Wide, true},
                         Case{18, ControlSearch::Wide, false}, Case{19, ControlSearch::Narrow, true},
                         Case{18, ControlSearch::Narrow, false}, Case{0, ControlSearch::Narrow, false}}) {
        SCOPED_TRACE(testing::Message() << c.correct << " correct, narrow " << (c.search == ControlSearch::Narrow));
        heard.clear();
        listen(c.search);
        play(pattern(12, c.correct));
        ASSERT_EQ(heard.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(heard[0].detection.code, 12);
            EXPECT_EQ(heard[0].detection.hits, c.correct);
            EXPECT_EQ(heard[0].detection.coarseOffset, 0);
        }
        EXPECT_FALSE(detector->recording());
    }
}

// Of two codes that both reach 19 hits the larger sum wins, and on equal sums the higher code.
TEST_F(ControlDetectorTest, LargerSumWinsAndTiesGoToTheHigherCode) {
    listen(ControlSearch::Narrow);
    codes = {4, 20};
    ControlPatternTable base = table;
    for (int sent : {4, 20}) {
        // The other code shares 22 of the sent code's tones and has its own tone elsewhere.
        const int other = sent == 4 ? 20 : 4;
        table = base;
        for (int s = 0; s < kControlSymbols; ++s) {
            table.bandLow[other][s] = table.bandLow[sent][s];
            table.toneOf[other][s] = s < 22 ? table.toneOf[sent][s] : static_cast<std::uint8_t>(wrongTone(table, sent, s));
        }
        heard.clear();
        play(pattern(sent));
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].detection.code, sent);
    }
    table = base;
    table.toneOf[4] = table.toneOf[20];
    table.bandLow[4] = table.bandLow[20];
    heard.clear();
    play(pattern(20));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].detection.code, 20);
}

// The record waits 8 runs after its last improvement; a better alignment restarts the wait.
TEST_F(ControlDetectorTest, ReportComesEightRunsAfterTheLastImprovement) {
    play(pattern(13));
    ASSERT_EQ(heard.size(), 1u);
    ASSERT_GT(lastImprovement, 0);
    EXPECT_EQ(heard[0].run, lastImprovement + ControlDetector::kCountdownRuns);
    // A clean frame keeps improving while the window slides onto it: more than one alignment
    // reached 19 hits before the best.
    EXPECT_EQ(heard[0].detection.hits, 31);
}

TEST_F(ControlDetectorTest, WideSearchFindsTheOffsetAndSetsTheAfc) {
    for (const double offsetHz : {-150.0, -61.0, 0.0, 17.5, 120.0, 150.0}) {
        SCOPED_TRACE(offsetHz);
        heard.clear();
        frontEnd->setReceiveFrequencyOffsetHz(33.0f);  // from an earlier link: replaced
        play(pattern(20), offsetHz);
        ASSERT_EQ(heard.size(), 1u);
        const ControlDetection& d = heard[0].detection;
        EXPECT_EQ(d.code, 20);
        EXPECT_LE(std::abs(d.coarseOffset - offsetHz / 23.4375), 1.0);
        EXPECT_TRUE(d.fineFound);
        EXPECT_NEAR(d.fineOffsetHz, offsetHz, 2.0);
        EXPECT_FLOAT_EQ(d.receiveFrequencyOffsetHz, -d.fineOffsetHz);
        EXPECT_FLOAT_EQ(frontEnd->receiveFrequencyOffsetHz(), -d.fineOffsetHz);
    }
}

// Connected, the corrected ring is searched at the AFC's frequency and half the residual applied.
TEST_F(ControlDetectorTest, NarrowSearchAppliesHalfTheEstimate) {
    listen(ControlSearch::Narrow);
    frontEnd->setReceiveFrequencyOffsetHz(-4.0f);
    play(pattern(3), 12.0);  // residual 8 Hz after the AFC
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].detection.coarseOffset, 0);
    EXPECT_NEAR(heard[0].detection.fineOffsetHz, 8.0, 1.5);
    EXPECT_FLOAT_EQ(frontEnd->receiveFrequencyOffsetHz(), -4.0f - heard[0].detection.fineOffsetHz / 2.0f);

    detector->setFineOffsetMethod(FineOffsetMethod::QuarterBin);
    heard.clear();
    play(pattern(3), 12.0);
    ASSERT_EQ(heard.size(), 1u);
    const float quarterBins = heard[0].detection.fineOffsetHz / (46.875f / 4.0f);
    EXPECT_FLOAT_EQ(quarterBins, std::round(quarterBins));
}

TEST_F(ControlDetectorTest, NothingToReportGivesNoReport) {
    // Before the spectrogram holds anything, with no codes, and with codes outside 1..26.
    for (const auto& set : {std::vector<std::uint8_t>{20}, std::vector<std::uint8_t>{},
                            std::vector<std::uint8_t>{0, 27, 255}}) {
        for (ControlSearch s : {ControlSearch::Wide, ControlSearch::Narrow}) {
            EXPECT_FALSE(detector->listenFor(table, set, s));
        }
    }
    codes = {};
    play(pattern(20));
    codes = {0, 27};
    play(pattern(20));
    EXPECT_TRUE(heard.empty());
    EXPECT_FALSE(detector->recording());
    EXPECT_FLOAT_EQ(frontEnd->receiveFrequencyOffsetHz(), 0.0f);
}

// A candidate with 19 hits whose tones barely stand above the rest of their bands (as noise
// reaches 19 hits by chance) fails the confirmation; with the confirmation off the 19-hit rule
// alone reports it. Frames at low S/N in noise still pass it.
TEST_F(ControlDetectorTest, ConfirmationRejectsWeakTonesAndPassesFramesInNoise) {
    struct Case {
        int above;
        double patternAmplitude;
        bool confirmationOn;
        bool reported;
    };
    for (const Case c : {Case{19, 4000.0, false, true}, Case{19, 4000.0, true, false}, Case{24, 4000.0, true, false},
                         Case{31, 4000.0, true, false}, Case{19, 12000.0, true, true}}) {
        SCOPED_TRACE(testing::Message() << c.above << " symbols at " << c.patternAmplitude << ", confirmation "
                                        << c.confirmationOn);
        heard.clear();
        detector->setConfirmationThreshold(c.confirmationOn ? ControlDetector::kConfirmationThreshold : -INFINITY);
        playBands(20, c.above, c.patternAmplitude);
        ASSERT_EQ(heard.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(heard[0].detection.code, 20);
            EXPECT_GE(heard[0].detection.hits, c.above);
            EXPECT_EQ(heard[0].detection.confirmation >= ControlDetector::kConfirmationThreshold, c.patternAmplitude > 5000.0);
        }
        EXPECT_FALSE(detector->recording());
    }

    detector->setConfirmationThreshold(ControlDetector::kConfirmationThreshold);
    for (ControlSearch s : {ControlSearch::Wide, ControlSearch::Narrow}) {
        listen(s);
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", narrow " << (s == ControlSearch::Narrow));
            heard.clear();
            playInNoise(13, -10.0, seed);
            ASSERT_EQ(heard.size(), 1u);
            EXPECT_EQ(heard[0].detection.code, 13);
            EXPECT_GE(heard[0].detection.confirmation, ControlDetector::kConfirmationThreshold);
        }
    }
}

// Patterns redrawn while a detection waits: the record is dropped, nothing is reported.
TEST_F(ControlDetectorTest, ClearedRecordIsNotReported) {
    client.onRow = [this] {
        if (auto d = detector->listenFor(table, codes, search)) heard.push_back({*d, 0});
        if (detector->countdown() == 3) detector->clearRecord();
    };
    play(pattern(4));
    EXPECT_TRUE(heard.empty());
}

}  // namespace
}  // namespace zolk
