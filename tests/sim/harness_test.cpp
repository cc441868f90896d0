#include "sim/harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace zolk::sim {
namespace {

using std::chrono::milliseconds;

// A steady signal: every ring period holds the same ramp, so each sample says where it came from.
class RampGenerator final : public TxSignalGenerator {
public:
    explicit RampGenerator(const SimAudioDevice& device) : m_device(device) {}
    void init() override {
        ++inits;
        returnedAtInit = m_device.pendingRequests();
    }
    void next(TxSampleRing& ring) override {
        for (std::size_t i = 0; i < kToneBlockLength; ++i) ring[i] = value(i);
    }
    static std::int16_t value(std::size_t index) { return static_cast<std::int16_t>(1000 + index); }
    int inits = 0;
    // Buffers returned by the key-up flush and not yet refilled when init runs.
    std::size_t returnedAtInit = 0;

private:
    const SimAudioDevice& m_device;
};

// Notes the virtual time and the samples of every capture block a station hands on.
class TimedReceiver final : public CaptureBlockSink {
public:
    explicit TimedReceiver(const Harness& harness) : m_harness(harness) {}
    void processCaptureBlock(std::span<const float, kAudioBlockLength> block) override {
        times.push_back(m_harness.now());
        samples.insert(samples.end(), block.begin(), block.end());
    }
    std::vector<SampleTime> times;
    std::vector<float> samples;

private:
    const Harness& m_harness;
};

class HarnessTest : public ::testing::Test {
protected:
    SimStation& addStation(const std::string& name, const std::string& settings = {}) {
        const auto folder = m_root / name;
        if (!settings.empty()) {
            std::filesystem::create_directories(folder);
            std::ofstream(folder / "ZOLK SAT.ini") << settings;
        }
        return m_harness.addStation(folder);
    }

    zolk::test::ScratchDir m_scratch;
    const std::filesystem::path& m_root = m_scratch.path();
    Harness m_harness;
};

TEST_F(HarnessTest, TimersFireAtTheirVirtualDeadlines) {
    auto& a = addStation("a");
    ASSERT_TRUE(a.station().start());
    m_harness.runFor(milliseconds{31000});
    std::vector<std::pair<SampleTime, TimerId>> ticks;
    std::vector<SampleTime> levelTicks;
    for (const auto& tick : a.timers().ticks()) {
        if (tick.id == TimerId::LevelGauge)
            levelTicks.push_back(tick.time);
        else
            ticks.emplace_back(tick.time, tick.id);
    }
    // The level gauge measures every 100 ms from start-up on.
    ASSERT_EQ(levelTicks.size(), 310u);
    for (std::size_t i = 0; i < levelTicks.size(); ++i) EXPECT_EQ(levelTicks[i], static_cast<SampleTime>(i + 1) * 4800);
    const std::vector<std::pair<SampleTime, TimerId>> expected{
        {2000 * 48, TimerId::BusyOff},  // one-shot: stops itself at its first tick
        {10000 * 48, TimerId::AudioWatchdog},
        {20000 * 48, TimerId::AudioWatchdog},
        {30000 * 48, TimerId::AudioWatchdog},
    };
    EXPECT_EQ(ticks, expected);
    EXPECT_FALSE(a.timers().running(TimerId::BusyOff));
    EXPECT_TRUE(a.timers().running(TimerId::AudioWatchdog));
}

TEST_F(HarnessTest, TimersTickBetweenBlocksAndRestartWhenStartedAgain) {
    auto& a = addStation("a");
    ASSERT_TRUE(a.station().start());
    m_harness.runUntil(12345);
    a.timers().stop(TimerId::LevelGauge);  // started by start-up; only the ticks from now on count
    a.timers().start(TimerId::DelayPtt, milliseconds{10});     // one-shot in the station
    a.timers().start(TimerId::LevelGauge, milliseconds{100});  // periodic
    m_harness.runUntil(12345 + 200 * 48);
    a.timers().start(TimerId::LevelGauge, milliseconds{100});  // restarts its interval
    m_harness.runUntil(12345 + 400 * 48);
    std::vector<std::pair<SampleTime, TimerId>> ticks;
    // The station's own start of the level gauge ticked before the test took it over.
    for (const auto& tick : a.timers().ticks()) {
        if (tick.time > 12345) ticks.emplace_back(tick.time, tick.id);
    }
    const std::vector<std::pair<SampleTime, TimerId>> expected{
        {12345 + 480, TimerId::DelayPtt},
        {12345 + 4800, TimerId::LevelGauge},
        {12345 + 9600, TimerId::LevelGauge},
        {12345 + 9600 + 4800, TimerId::LevelGauge},
        {12345 + 9600 + 9600, TimerId::LevelGauge},
    };
    EXPECT_EQ(ticks, expected);
    EXPECT_EQ(m_harness.now(), 12345 + 400 * 48);
}

TEST_F(HarnessTest, TwoStationsHearEachOtherThroughTheirPlaybackQueues) {
    auto& a = addStation("a");
    auto& b = addStation("b");
    m_harness.connect(a, b);
    m_harness.connect(b, a);
    ASSERT_TRUE(a.station().start());
    ASSERT_TRUE(b.station().start());
    // The level gauge's tick resets the capture peaks that this test reads.
    a.timers().stop(TimerId::LevelGauge);
    b.timers().stop(TimerId::LevelGauge);
    RampGenerator generator(a.audio());
    a.station().audioEngine().attachGenerator(TxGenerator::SymbolFeeder, &generator);
    TimedReceiver heardByB(m_harness);
    TimedReceiver heardByA(m_harness);
    b.station().audioEngine().attachReceiver(&heardByB);
    a.station().audioEngine().attachReceiver(&heardByA);
    // The level gauge resets the capture peak every 100 ms; here the peak of the whole run counts.
    for (auto* s : {&a, &b}) s->timers().stop(TimerId::LevelGauge);

    // Start-up has filled the 200-block queue with silence by now.
    const SampleTime keyUp = 400 * kBlockSamples;
    m_harness.runUntil(keyUp);
    EXPECT_EQ(a.audio().queued(), kPlaybackBuffers);
    a.station().radioControl().pttOn();
    const SampleTime keyDown = keyUp + 600 * kBlockSamples;
    m_harness.runUntil(keyDown);
    a.station().radioControl().pttOff();
    m_harness.runUntil(keyDown + 400 * kBlockSamples);
    EXPECT_EQ(generator.inits, 1);
    // The flush handed back all 199 other queued buffers at once; none was refilled inside the
    // request that flushed.
    EXPECT_EQ(generator.returnedAtInit, kPlaybackBuffers - 1);

    // The flush at key-up returns the queued silence at once, so the signal is on the air after
    // the silent key-up block; after key-down the 200 queued blocks still play.
    SampleTime first = -1;
    SampleTime last = -1;
    std::size_t offset = 0;
    for (std::size_t block = 0; block < heardByB.times.size(); ++block) {
        for (std::size_t k = 0; k < kBlockSamples; ++k) {
            const float sample = heardByB.samples[block * kBlockSamples + k];
            if (sample == 0.0F) continue;
            if (first < 0) first = heardByB.times[block];
            last = heardByB.times[block];
            ASSERT_EQ(sample, RampGenerator::value(offset % kToneBlockLength)) << "at block " << block;
            ++offset;
        }
    }
    EXPECT_EQ(first, keyUp + 3 * kBlockSamples);
    EXPECT_EQ(last, keyDown + 200 * kBlockSamples);
    EXPECT_EQ(offset, static_cast<std::size_t>((last - first) + kBlockSamples));
    EXPECT_EQ(b.station().audioEngine().capturePeak(), 1000.0F + kToneBlockLength - 1);

    // A heard one block per block period, all silent: B never transmitted.
    EXPECT_EQ(heardByA.times.size(), static_cast<std::size_t>(m_harness.now() / kBlockSamples));
    EXPECT_EQ(a.station().audioEngine().capturePeak(), 0.0F);
    EXPECT_EQ(a.air().size(), static_cast<std::size_t>(m_harness.now()));
}

class Gain final : public ChannelStage {
public:
    explicit Gain(float gain) : m_gain(gain) {}
    void process(std::span<float, kBlockSamples> block) override {
        for (float& sample : block) sample *= m_gain;
    }

private:
    float m_gain;
};

TEST_F(HarnessTest, ChannelStagesAndCaptureSourcesShapeWhatAStationHears) {
    auto& a = addStation("a");
    auto& b = addStation("b");
    auto& c = addStation("c");
    m_harness.connect(a, c, std::make_unique<Gain>(0.5F));
    m_harness.connect(b, c, std::make_unique<Gain>(0.25F));
    std::vector<SampleTime> sourceTimes;
    c.setCaptureSource([&](SampleTime start, std::span<float, kBlockSamples> block) {
        sourceTimes.push_back(start);
        for (float& sample : block) sample += 7.0F;
    });
    for (auto* s : {&a, &b, &c}) ASSERT_TRUE(s->station().start());
    RampGenerator fromA(a.audio());
    RampGenerator fromB(b.audio());
    a.station().audioEngine().attachGenerator(TxGenerator::SymbolFeeder, &fromA);
    b.station().audioEngine().attachGenerator(TxGenerator::SymbolFeeder, &fromB);
    a.station().radioControl().pttOn();
    b.station().radioControl().pttOn();
    TimedReceiver heard(m_harness);
    c.station().audioEngine().attachReceiver(&heard);
    m_harness.runBlocks(8);  // the silent key-up block first: the queue was still empty
    ASSERT_EQ(heard.samples.size(), 8 * kBlockSamples);
    EXPECT_EQ(heard.samples[0], 7.0F);
    EXPECT_EQ(heard.samples[kBlockSamples - 1], 7.0F);
    for (std::size_t k = 0; k < 7 * kBlockSamples; ++k) {
        const float sent = RampGenerator::value(k % kToneBlockLength);
        ASSERT_EQ(heard.samples[kBlockSamples + k], std::nearbyint(0.75F * sent + 7.0F)) << k;
    }
    ASSERT_EQ(sourceTimes.size(), 8U);
    EXPECT_EQ(sourceTimes[0], 0);
    EXPECT_EQ(sourceTimes[7], 7 * kBlockSamples);
}

TEST_F(HarnessTest, WatchdogReopensAStalledCaptureAtItsNextIdleTick) {
    auto& a = addStation("a");
    ASSERT_TRUE(a.station().start());
    TimedReceiver heard(m_harness);
    a.station().audioEngine().attachReceiver(&heard);
    m_harness.runFor(milliseconds{1000});
    a.audio().setStalled(AudioDirection::Capture, true);
    m_harness.runFor(milliseconds{18000});  // 19 s: the 10 s tick saw capture alive
    EXPECT_EQ(a.audio().openCount(AudioDirection::Capture), 1);
    const auto blocksBefore = heard.times.size();
    m_harness.runFor(milliseconds{1000});   // the 20 s tick finds it dead
    EXPECT_EQ(a.audio().openCount(AudioDirection::Capture), 2);
    EXPECT_EQ(a.audio().openCount(AudioDirection::Playback), 1);
    m_harness.runBlocks(1);
    ASSERT_EQ(heard.times.size(), blocksBefore + 1);
    EXPECT_EQ(heard.times[blocksBefore], 20000 * 48 + kBlockSamples);
}

TEST_F(HarnessTest, AMissingInputDeviceIsReportedAndOpenedOnceItAppears) {
    auto& a = addStation("a", "[Soundcard]\nInput Device Name=USB Audio CODEC\n");
    ASSERT_TRUE(a.station().start());
    TimedReceiver heard(m_harness);
    a.station().audioEngine().attachReceiver(&heard);
    EXPECT_FALSE(a.audio().isOpen(AudioDirection::Capture));
    EXPECT_TRUE(a.audio().isOpen(AudioDirection::Playback));
    ASSERT_EQ(a.ui().logLines().size(), 1U);
    EXPECT_NE(a.ui().logLines()[0].find("Audio input is closed"), std::string::npos);

    m_harness.runFor(milliseconds{5000});
    a.audio().setDevices(AudioDirection::Capture, {"Sim Input", "USB Audio CODEC"});
    m_harness.runFor(milliseconds{6000});
    EXPECT_EQ(a.audio().openDevice(AudioDirection::Capture), "USB Audio CODEC");
    ASSERT_FALSE(heard.times.empty());
    EXPECT_EQ(heard.times.front(), 10000 * 48 + kBlockSamples);
    EXPECT_EQ(a.ui().logLines().size(), 2U);
}

}  // namespace
}  // namespace zolk::sim
