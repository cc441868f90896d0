// Two stations in virtual time: A's radio sends data transmissions, B's radio receives them
// through a channel stage, and what reaches B's frame entries is compared with what A sent.
#include "app/station_radio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "app/station.h"
#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "sim/channel_model.h"
#include "sim/harness.h"
#include "support/recording_entries.h"
#include "support/scratch_dir.h"

namespace zolk {
namespace {

using sim::SimStation;
using test::RecordingEntries;
using std::chrono::milliseconds;

// A data frame of the mode with a random payload of random length and a valid check sequence.
std::vector<std::uint8_t> randomFrame(int mode, std::mt19937& random) {
    const ModeRecord& r = modeRecord(mode);
    std::vector<std::uint8_t> payload(std::uniform_int_distribution<int>(0, r.userBytes)(random));
    for (auto& b : payload) b = static_cast<std::uint8_t>(random());
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(r.netBytes));
    const DataFrameHeader header{.lastFrame = (random() & 1) != 0, .backlogClass = 3, .publicFlag = false};
    buildDataFrame(payload, header, frame);
    return frame;
}

class StationRadioTest : public ::testing::Test {
protected:
    // A sends to B through the stage; both are started, B's frames go to m_entries.
    void startPair(std::unique_ptr<sim::ChannelStage> stage, const std::string& settingsOfB = {}) {
        if (!settingsOfB.empty()) {
            std::filesystem::create_directories(m_root / "b");
            std::ofstream(m_root / "b" / "ZOLK SAT.ini") << settingsOfB;
        }
        m_a = &m_harness.addStation(m_root / "a");
        m_b = &m_harness.addStation(m_root / "b");
        m_a->recordAir(false);
        m_b->recordAir(false);
        m_harness.connect(*m_a, *m_b, std::move(stage));
        ASSERT_TRUE(m_a->station().start());
        ASSERT_TRUE(m_b->station().start());
        m_b->station().radio().setFrameSession(&m_entries);
        // Start-up fills the playback queues with silence first.
        m_harness.runFor(milliseconds{1500});
    }

    // One transmission from A; runs until A's feeder has released PTT and B has had time for the
    // stages after the last detection. Returns whether PTT was keyed and then released.
    bool transmit(int mode, const std::vector<std::vector<std::uint8_t>>& frames) {
        std::vector<std::span<const std::uint8_t>> views(frames.begin(), frames.end());
        m_a->station().radio().send(mode, views);
        const bool keyed = m_a->station().transmitActive();
        // The longest transmission (two mode-1 frames and the queue) is well under 30 s.
        for (int i = 0; i < 3000 && m_a->station().transmitActive(); ++i) m_harness.runFor(milliseconds{10});
        m_harness.runFor(milliseconds{500});
        return keyed && !m_a->station().transmitActive();
    }

    // One random frame from A, then `ticks` more for the stages that run after the transmission.
    std::vector<std::uint8_t> sendFrame(int mode, std::mt19937& random, std::int32_t ticks) {
        m_entries.heard.clear();
        auto frame = randomFrame(mode, random);
        EXPECT_TRUE(transmit(mode, {frame})) << "mode " << mode;
        m_harness.runFor(milliseconds{ticks * 2 / 3});
        return frame;
    }

    // framesPerBurst transmissions of random frames, each with B just set to receive them (as
    // after its own answer). Every frame must reach B's entries with its exact bytes.
    void loopback(int mode, int framesPerBurst, int transmissions) {
        std::mt19937 random(static_cast<std::uint32_t>(1000 + mode));
        for (int t = 0; t < transmissions; ++t) {
            std::vector<std::vector<std::uint8_t>> sent;
            for (int f = 0; f < framesPerBurst; ++f) sent.push_back(randomFrame(mode, random));
            m_entries.heard.clear();
            m_b->station().radio().receive(mode, framesPerBurst);
            ASSERT_TRUE(transmit(mode, sent)) << "transmission " << t;
            ASSERT_EQ(m_entries.heard.size(), sent.size()) << "transmission " << t;
            for (std::size_t f = 0; f < sent.size(); ++f) {
                const bool first = framesPerBurst == 2 && f == 0;
                EXPECT_EQ(m_entries.heard[f].entry, first ? "onFirstFrame" : "onFrame") << "transmission " << t;
                EXPECT_EQ(m_entries.heard[f].bytes, sent[f]) << "transmission " << t << " frame " << f;
            }
        }
    }

    test::ScratchDir m_scratch;
    const std::filesystem::path& m_root = m_scratch.path();
    sim::Harness m_harness;
    SimStation* m_a = nullptr;
    SimStation* m_b = nullptr;
    RecordingEntries m_entries;
};

std::unique_ptr<sim::ChannelStage> offsetChannel(double offsetHz) {
    if (offsetHz == 0.0) return std::make_unique<sim::CleanChannel>();
    return std::make_unique<sim::ChannelModel>(sim::ChannelSettings{.offsetHz = offsetHz});
}

struct LoopbackCase {
    int mode;
    double offsetHz;
};

// Names the case in test output instead of its raw bytes.
void PrintTo(const LoopbackCase& c, std::ostream* os) { *os << "mode " << c.mode << " at " << c.offsetHz << " Hz"; }

class SingleFrameLoopback : public StationRadioTest, public ::testing::WithParamInterface<LoopbackCase> {};

TEST_P(SingleFrameLoopback, TwentyTransmissionsArriveWithTheirBytes) {
    startPair(offsetChannel(GetParam().offsetHz));
    loopback(GetParam().mode, 1, 20);
}

std::vector<LoopbackCase> everyModeAndOffset() {
    std::vector<LoopbackCase> cases;
    for (const double offset : {0.0, 15.0, -15.0}) {
        for (int mode = 0; mode < kModeCount; ++mode) cases.push_back({mode, offset});
    }
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<LoopbackCase>& info) {
    const double hz = info.param.offsetHz;
    const std::string offset = hz == 0.0 ? "Clean" : (hz > 0 ? "Plus" : "Minus") + std::to_string(static_cast<int>(std::abs(hz))) + "Hz";
    return "Mode" + std::to_string(info.param.mode) + offset;
}

INSTANTIATE_TEST_SUITE_P(Modes, SingleFrameLoopback, ::testing::ValuesIn(everyModeAndOffset()), caseName);

class TwoFrameLoopback : public StationRadioTest, public ::testing::WithParamInterface<LoopbackCase> {};

TEST_P(TwoFrameLoopback, BothFramesOfEveryBurstArrive) {
    startPair(offsetChannel(GetParam().offsetHz));
    loopback(GetParam().mode, 2, 20);
}

INSTANTIATE_TEST_SUITE_P(Modes, TwoFrameLoopback,
                         ::testing::Values(LoopbackCase{1, 0.0}, LoopbackCase{5, 0.0}, LoopbackCase{8, 0.0},
                                           LoopbackCase{13, 0.0}),
                         caseName);

TEST_F(StationRadioTest, AnIdleReceiverTakesNoFramesAndPttDropsAfterEachTransmission) {
    startPair(offsetChannel(0.0));
    std::mt19937 random(7);
    for (const int mode : {0, 5, 13}) {
        EXPECT_TRUE(transmit(mode, {randomFrame(mode, random)})) << "mode " << mode;
    }
    EXPECT_TRUE(m_entries.heard.empty());
    // Once it stops receiving, a frame that would have been in its window is not looked for.
    m_b->station().radio().receive(5, 1);
    m_b->station().radio().stopReceiving();
    EXPECT_TRUE(transmit(5, {randomFrame(5, random)}));
    EXPECT_TRUE(m_entries.heard.empty());
}

TEST_F(StationRadioTest, AFrameOutsideTheWindowAfterTheOwnTransmissionIsNotSearchedFor) {
    startPair(offsetChannel(0.0));
    std::mt19937 random(8);
    m_b->station().radio().receive(5, 1);
    // Longer than a mode-5 frame plus the window's slack before A even keys.
    m_harness.runFor(milliseconds{9000});
    EXPECT_TRUE(transmit(5, {randomFrame(5, random)}));
    EXPECT_TRUE(m_entries.heard.empty());
}

TEST_F(StationRadioTest, ABurstWhoseSecondFrameNeverComesEndsAtItsDeadline) {
    startPair(offsetChannel(0.0));
    std::mt19937 random(11);
    for (const int mode : {1, 8}) {
        m_b->station().radio().receive(mode, 2);
        // The first frame's stages, then a frame's length and three symbols without the second.
        const auto frame = sendFrame(mode, random, 2 * modeRecord(mode).frameLengthUnits);
        ASSERT_EQ(m_entries.heard.size(), 2U) << "mode " << mode;
        EXPECT_EQ(m_entries.heard[0].entry, "onFirstFrame");
        EXPECT_EQ(m_entries.heard[0].bytes, frame);
        EXPECT_EQ(m_entries.heard[1].entry, "onMissingFrame");
        EXPECT_EQ(m_b->station().radio().reception().frameTicks(), 0);
    }
}

TEST_F(StationRadioTest, MonitorModeFromTheSettingsNamesEachFramesMode) {
    startPair(offsetChannel(0.0), "[Monitor]\nMonitor Mode=1\n");
    std::mt19937 random(9);
    for (const int mode : {1, 6, 12}) {
        // Monitored frames are decoded in stages over the frame's length after their detection.
        const auto frame = sendFrame(mode, random, modeRecord(mode).frameLengthUnits);
        ASSERT_EQ(m_entries.heard.size(), 1U) << "mode " << mode;
        EXPECT_EQ(m_entries.heard[0].entry, "onMonitorFrame");
        EXPECT_EQ(m_entries.heard[0].mode, mode);
        EXPECT_EQ(m_entries.heard[0].bytes, frame);
    }
}

TEST_F(StationRadioTest, AFailedMonitoredFrameDoesNotStopTheScanning) {
    startPair(offsetChannel(0.0), "[Monitor]\nMonitor Mode=1\n");
    std::mt19937 random(12);
    m_b->station().radio().forceNextFrameFailure();
    sendFrame(5, random, modeRecord(5).frameLengthUnits);
    EXPECT_TRUE(m_entries.heard.empty());
    const auto frame = sendFrame(5, random, modeRecord(5).frameLengthUnits);
    ASSERT_EQ(m_entries.heard.size(), 1U);
    EXPECT_EQ(m_entries.heard[0].bytes, frame);
}

TEST_F(StationRadioTest, DisplaysFollowTheFramesTheTransmitterAndTheWindow) {
    startPair(offsetChannel(0.0), "[Monitor]\nMonitor Mode=1\n");
    // Nothing is drawn for a window that cannot be seen.
    EXPECT_TRUE(m_b->ui().waterfallRows().empty());
    EXPECT_FALSE(m_b->ui().levelDb().has_value());
    m_a->station().setWindowShown(true);
    m_b->station().setWindowShown(true);
    m_harness.runFor(milliseconds{1000});
    ASSERT_TRUE(m_a->ui().levelDb().has_value());
    EXPECT_LT(*m_a->ui().levelDb(), -90.0F) << "silence";
    const std::size_t rowsBefore = m_a->ui().waterfallRows().size();
    EXPECT_GE(rowsBefore, 5U);

    std::mt19937 random(13);
    const auto frame = randomFrame(8, random);
    const std::vector<std::span<const std::uint8_t>> frames{frame};
    m_a->station().radio().send(8, frames);
    m_harness.runFor(milliseconds{1000});
    ASSERT_TRUE(m_a->station().transmitActive());
    // The sender's level gauge stays empty while it transmits, and its waterfall turns black.
    EXPECT_FALSE(m_a->ui().levelDb().has_value());
    const auto& sent = m_a->ui().waterfallRows();
    ASSERT_GT(sent.size(), rowsBefore + 3);
    EXPECT_TRUE(std::all_of(sent.back().begin(), sent.back().end(), [](std::uint32_t p) { return p == 0; }));
    // The receiver hears it.
    ASSERT_TRUE(m_b->ui().levelDb().has_value());
    EXPECT_GT(*m_b->ui().levelDb(), -40.0F);
    const auto& heard = m_b->ui().waterfallRows().back();
    EXPECT_EQ(heard[120], 0xFF0000U);
    EXPECT_TRUE(std::any_of(heard.begin() + 300, heard.begin() + 700, [](std::uint32_t p) { return p != 0; }));

    // Until the frame is decoded and plotted.
    for (int i = 0; i < 3000 && m_entries.heard.empty(); ++i) m_harness.runFor(milliseconds{10});
    ASSERT_EQ(m_entries.heard.size(), 1U);
    const sim::SampleTime plotted = m_harness.now();
    for (int i = 0; i < 3000 && m_a->station().transmitActive(); ++i) m_harness.runFor(milliseconds{10});
    m_harness.runFor(milliseconds{200});
    EXPECT_TRUE(m_a->ui().levelDb().has_value()) << "back after the transmission";
    EXPECT_GT(m_b->ui().plottedPoints(), 0U);
    EXPECT_TRUE(m_b->ui().snrDb().has_value());
    EXPECT_FALSE(m_b->ui().panelText("Baud").empty());
    // 9 s after the frame the constellation, the S/N gauge and the monitored rate are cleared.
    const int clears = m_b->ui().constellationClears();
    m_harness.runUntil(plotted + sim::toSamples(milliseconds{8800}));
    EXPECT_EQ(m_b->ui().constellationClears(), clears);
    m_harness.runUntil(plotted + sim::toSamples(milliseconds{9200}));
    EXPECT_EQ(m_b->ui().constellationClears(), clears + 1);
    EXPECT_EQ(m_b->ui().plottedPoints(), 0U);
    EXPECT_FALSE(m_b->ui().snrDb().has_value());
    EXPECT_TRUE(m_b->ui().panelText("Baud").empty());
    EXPECT_TRUE(m_b->ui().panelTip("Baud").empty());
}

TEST_F(StationRadioTest, AHeard1500HzToneIsTheBrightestColumnOfTheWaterfall) {
    SimStation& station = m_harness.addStation(m_root / "tone");
    station.recordAir(false);
    // A 1500 Hz tone at -20 dB with a little noise under it.
    std::mt19937 random(14);
    std::normal_distribution<float> noise(0.0F, 30.0F);
    station.setCaptureSource([&](sim::SampleTime start, std::span<float, sim::kBlockSamples> block) {
        for (std::size_t k = 0; k < block.size(); ++k) {
            const double t = static_cast<double>(start + static_cast<sim::SampleTime>(k)) / 48000.0;
            block[k] += 3276.7F * static_cast<float>(std::sin(2.0 * std::numbers::pi * 1500.0 * t)) + noise(random);
        }
    });
    ASSERT_TRUE(station.station().start());
    station.station().setWindowShown(true);
    m_harness.runFor(milliseconds{2000});
    const auto& rows = station.ui().waterfallRows();
    ASSERT_GE(rows.size(), 10U);  // about 5.9 a second
    for (std::size_t r = rows.size() - 3; r < rows.size(); ++r) {
        const auto& row = rows[r];
        std::size_t brightest = 0;
        for (std::size_t n = 0; n < row.size(); ++n) {
            if (row[n] != 0xFF0000U && (row[n] >> 8) > (row[brightest] >> 8)) brightest = n;
        }
        EXPECT_NEAR(static_cast<double>(brightest), 512.0, 1.0) << "row " << r;
        EXPECT_LT((row[300] >> 8) & 0xFF, 128U);
    }
    ASSERT_TRUE(station.ui().levelDb().has_value());
    EXPECT_NEAR(*station.ui().levelDb(), -20.0F, 0.5F);
    // Gauges only: no waterfall.
    m_harness.menu(station, MenuItem::ViewGauges);
    const std::size_t shown = rows.size();
    m_harness.runFor(milliseconds{1000});
    EXPECT_EQ(rows.size(), shown);
}

TEST_F(StationRadioTest, ReceiveRefusesABadModeOrBurstAndSendRefusesWhileOnTheAir) {
    startPair(offsetChannel(0.0));
    auto& radio = m_a->station().radio();
    EXPECT_THROW(radio.receive(15, 1), std::invalid_argument);
    EXPECT_THROW(radio.receive(-1, 1), std::invalid_argument);
    EXPECT_THROW(radio.receive(3, 3), std::invalid_argument);
    std::mt19937 random(10);
    const auto frame = randomFrame(3, random);
    const std::span<const std::uint8_t> views[] = {frame};
    radio.send(3, views);
    EXPECT_THROW(radio.send(3, views), std::logic_error);
}

}  // namespace
}  // namespace zolk

namespace zolk {
namespace {

struct HeardCode {
    ControlCode code;
    ControlDetection detection;
};

class ControlFrameTest : public StationRadioTest {
protected:
    void listen(const ControlCodeSet& codes, ControlSearch search) {
        m_b->station().radio().setControlSink(
            [this](ControlCode c, const ControlDetection& d) { m_heardCodes.push_back({c, d}); });
        m_b->station().radio().listenForControl(codes, search);
    }
    // A sends one control code; runs until its PTT has dropped and B had time for the countdown.
    void sendFromA(ControlCode c) {
        m_heardCodes.clear();
        m_a->station().radio().sendControl(c);
        ASSERT_TRUE(m_a->station().transmitActive());
        for (int i = 0; i < 300 && m_a->station().transmitActive(); ++i) m_harness.runFor(milliseconds{10});
        ASSERT_FALSE(m_a->station().transmitActive());
        m_harness.runFor(milliseconds{300});
    }
    std::vector<HeardCode> m_heardCodes;
};

constexpr std::int32_t kSeedOfB = 40123;  // CallSeed of B's own call sign

// A calls B through a channel that shifts everything by +120 Hz. B hears only its own call, not
// one meant for an empty slot or another station, and corrects its receiver onto A.
TEST_F(ControlFrameTest, CallAtPlus120HzIsFoundByTheWideSearchAndTheReceiverCorrected) {
    startPair(std::make_unique<sim::ChannelModel>(sim::ChannelSettings{.offsetHz = 120.0}));
    const std::array<std::string, kCallSlots> callsOfB = {"EA4ZZZ", "", "", "", ""};
    m_b->station().radio().drawPatterns(0, {kSeedOfB, 0, 0, 0, 0}, false);
    listen(withoutEmptyCallSlots(ControlCodeSet::range(ControlCode::Call1, ControlCode::Call5), callsOfB),
           ControlSearch::Wide);

    // A call for another call sign, and one drawn from seed 0: the pattern of B's empty slots.
    for (const std::int32_t seed : {kSeedOfB + 1, 0}) {
        m_a->station().radio().drawPatterns(seed, {}, true);
        sendFromA(ControlCode::Call1);
        EXPECT_TRUE(m_heardCodes.empty()) << "seed " << seed;
    }

    m_a->station().radio().drawPatterns(kSeedOfB, {}, true);
    sendFromA(ControlCode::Call1);
    ASSERT_EQ(m_heardCodes.size(), 1u);
    const ControlDetection& d = m_heardCodes[0].detection;
    EXPECT_EQ(m_heardCodes[0].code, ControlCode::Call1);
    EXPECT_EQ(d.coarseOffset, 5);  // 120 Hz in half bins of 23.4 Hz
    EXPECT_NEAR(d.fineOffsetHz, 120.0, 3.0);
    EXPECT_NEAR(m_b->station().radio().receiveFrequencyOffsetHz(), -120.0, 3.0);
    ASSERT_TRUE(m_b->ui().afcHz().has_value());
    EXPECT_FLOAT_EQ(*m_b->ui().afcHz(), -m_b->station().radio().receiveFrequencyOffsetHz());
}

// On a link both draw the called station's patterns; the narrow search then moves the receiver
// by half of what it still measures.
TEST_F(ControlFrameTest, ConnectedNarrowSearchCorrectsByHalfTheEstimate) {
    startPair(std::make_unique<sim::ChannelModel>(sim::ChannelSettings{.offsetHz = 10.0}));
    m_a->station().radio().drawPatterns(kSeedOfB, {}, true);
    m_b->station().radio().drawPatterns(kSeedOfB, {kSeedOfB, 0, 0, 0, 0}, false);
    listen(ControlCodeSet{ControlCode::Qrt, ControlCode::Break, ControlCode::Req0, ControlCode::Req1, ControlCode::Idle},
           ControlSearch::Narrow);
    for (const ControlCode sent : {ControlCode::Break, ControlCode::Req1, ControlCode::Qrt}) {
        const float before = m_b->station().radio().receiveFrequencyOffsetHz();
        sendFromA(sent);
        ASSERT_EQ(m_heardCodes.size(), 1u) << controlCodeName(sent);
        const ControlDetection& d = m_heardCodes[0].detection;
        EXPECT_EQ(m_heardCodes[0].code, sent);
        EXPECT_EQ(d.coarseOffset, 0);
        EXPECT_NEAR(d.fineOffsetHz, 10.0 + before, 3.0);
        EXPECT_FLOAT_EQ(m_b->station().radio().receiveFrequencyOffsetHz(), before - d.fineOffsetHz / 2.0f);
    }
    // Three halvings: from 10 Hz off to within about 2 Hz.
    EXPECT_NEAR(m_b->station().radio().receiveFrequencyOffsetHz(), -10.0, 2.5);
    // A code outside the set is not reported.
    sendFromA(ControlCode::TurnAck);
    EXPECT_TRUE(m_heardCodes.empty());
}

}  // namespace
}  // namespace zolk
