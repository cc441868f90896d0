#include "phy/common/audio_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "support/fake_audio_devices.h"

namespace zolk {
namespace {

struct Keying final : TransmitKeying {
    bool active = false;
    bool transmitActive() const override { return active; }
};

// Fills the ring with values that say which call wrote them and where: a sample read at the
// wrong place or after a call at the wrong time shows up as a wrong value.
class MarkingGenerator final : public TxSignalGenerator {
public:
    explicit MarkingGenerator(std::size_t length) : m_length(length) {}
    void init() override { ++inits; }
    void next(TxSampleRing& ring) override {
        ++nexts;
        for (std::size_t i = 0; i < m_length; ++i) ring[i] = expected(nexts, i);
        if (dropKeyingAfter == nexts && keying != nullptr) keying->active = false;
    }
    static std::int16_t expected(int call, std::size_t index) {
        return static_cast<std::int16_t>((call * 1201 + static_cast<int>(index) * 7) % 30000 + 1);
    }

    int inits = 0;
    int nexts = 0;
    int dropKeyingAfter = 0;
    Keying* keying = nullptr;

private:
    std::size_t m_length;
};

class RecordingReceiver final : public CaptureBlockSink {
public:
    void processCaptureBlock(std::span<const float, kAudioBlockLength> block) override {
        blocks.emplace_back(block.begin(), block.end());
    }
    std::vector<std::vector<float>> blocks;
};

class AudioEngineTest : public ::testing::Test {
protected:
    using Stereo = std::array<std::int16_t, 2 * kAudioBlockLength>;

    Stereo request() {
        Stereo out;
        out.fill(12345);  // the engine must overwrite every sample
        m_engine.onPlaybackRequest(out);
        return out;
    }
    static bool silent(const Stereo& block) {
        return std::all_of(block.begin(), block.end(), [](std::int16_t s) { return s == 0; });
    }

    test::FakeAudioDevices m_devices{std::vector<std::string>{"Line In", "Speakers"}};
    std::vector<std::string> m_logLines;
    Keying m_keying;
    AudioEngine m_engine{m_devices, [this](const std::string& line) { m_logLines.push_back(line); }, m_keying};
};

TEST_F(AudioEngineTest, PlaysSilenceWhileNotTransmitting) {
    MarkingGenerator feeder(1024);
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, &feeder);
    m_engine.txSampleRing().fill(500);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(silent(request()));
    EXPECT_EQ(feeder.inits + feeder.nexts, 0);
    EXPECT_EQ(m_devices.flushes, 0);
}

TEST_F(AudioEngineTest, FirstBufferAfterKeyUpFlushesInitsOnceAndStaysSilent) {
    ASSERT_TRUE(m_engine.openPlayback("Speakers"));
    MarkingGenerator feeder(1024);
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, &feeder);
    m_engine.txSampleRing().fill(500);  // stale audio from an earlier transmission
    for (int keyUp = 1; keyUp <= 3; ++keyUp) {
        SCOPED_TRACE(keyUp);
        m_keying.active = true;
        EXPECT_TRUE(silent(request()));
        EXPECT_EQ(m_devices.flushes, keyUp);
        EXPECT_EQ(feeder.inits, keyUp);
        EXPECT_EQ(m_engine.txReadIndex(), 0);
        const int nextsBefore = feeder.nexts;
        for (int i = 0; i < 10; ++i) EXPECT_FALSE(silent(request()));
        EXPECT_EQ(feeder.inits, keyUp);          // once per key-up
        EXPECT_EQ(feeder.nexts - nextsBefore, 3);  // 2560 samples: wraps at 0, 1024 and 2048
        EXPECT_EQ(m_devices.flushes, keyUp);
        m_keying.active = false;
        EXPECT_TRUE(silent(request()));
    }
}

TEST_F(AudioEngineTest, TestToneGetsNoInitAndPlaysFromTheFirstWrap) {
    MarkingGenerator tone(1024);
    MarkingGenerator feeder(1024);
    m_engine.attachGenerator(TxGenerator::TestTone, &tone);
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, &feeder);
    m_engine.selectGenerator(TxGenerator::TestTone);
    m_keying.active = true;
    EXPECT_TRUE(silent(request()));
    EXPECT_EQ(tone.inits + feeder.inits + feeder.nexts, 0);
    const auto first = request();
    EXPECT_EQ(tone.nexts, 1);
    EXPECT_EQ(first[0], MarkingGenerator::expected(1, 0));
}

TEST_F(AudioEngineTest, SymbolRingOf384SamplesCallsNextAtTheExactWrapSample) {
    MarkingGenerator feeder(384);
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, &feeder);
    m_engine.setSignalKind(TxSignalKind::Symbols);
    m_engine.setSymbolLength(384);
    m_keying.active = true;
    ASSERT_TRUE(silent(request()));
    constexpr int kBuffers = 9;  // 2304 samples, six whole symbols
    std::vector<std::int16_t> left;
    for (int b = 0; b < kBuffers; ++b) {
        const auto block = request();
        for (std::size_t f = 0; f < kAudioBlockLength; ++f) {
            ASSERT_EQ(block[2 * f], block[2 * f + 1]) << "frame " << f;  // both channels carry it
            left.push_back(block[2 * f]);
        }
        // A call is due at every sample index that is a multiple of 384 played so far.
        EXPECT_EQ(feeder.nexts, ((b + 1) * 256 + 383) / 384);
    }
    for (std::size_t s = 0; s < left.size(); ++s) {
        ASSERT_EQ(left[s], MarkingGenerator::expected(static_cast<int>(s / 384) + 1, s % 384)) << "sample " << s;
    }
    EXPECT_EQ(feeder.nexts, 6);
    EXPECT_EQ(m_engine.txReadIndex(), 0);
}

TEST_F(AudioEngineTest, KeyUpAfterTheGeneratorReleasedPttStartsAfresh) {
    MarkingGenerator feeder(1024);
    feeder.keying = &m_keying;
    feeder.dropKeyingAfter = 2;
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, &feeder);
    m_keying.active = true;
    request();
    for (int i = 0; i < 8 && m_keying.active; ++i) request();  // PTT drops inside the fifth buffer
    ASSERT_FALSE(m_keying.active);
    EXPECT_EQ(feeder.nexts, 2);
    // Keyed again before any silent buffer: still a key-up.
    m_keying.active = true;
    EXPECT_TRUE(silent(request()));
    EXPECT_EQ(feeder.inits, 2);
}

TEST_F(AudioEngineTest, CaptureUsesTheLeftChannelAndTracksThePeak) {
    RecordingReceiver receiver;
    m_engine.attachReceiver(&receiver);
    std::array<std::int16_t, 2 * kAudioBlockLength> stereo{};
    for (std::size_t k = 0; k < kAudioBlockLength; ++k) {
        stereo[2 * k] = static_cast<std::int16_t>(static_cast<int>(k) * 100 - 12800);
        stereo[2 * k + 1] = 32767;  // the right channel must not count
    }
    m_engine.onCaptureBlock(stereo);
    ASSERT_EQ(receiver.blocks.size(), 1U);
    for (std::size_t k = 0; k < kAudioBlockLength; ++k) {
        EXPECT_EQ(receiver.blocks[0][k], static_cast<float>(k) * 100.0F - 12800.0F);
    }
    EXPECT_EQ(m_engine.capturePeak(), 12800.0F);

    stereo.fill(0);
    stereo[2 * 17] = -32768;
    m_engine.onCaptureBlock(stereo);
    EXPECT_EQ(m_engine.capturePeak(), 32768.0F);
    m_engine.resetCapturePeak();
    stereo[2 * 17] = 300;
    m_engine.onCaptureBlock(stereo);
    EXPECT_EQ(m_engine.capturePeak(), 300.0F);
    EXPECT_EQ(receiver.blocks.size(), 3U);
}

TEST(CaptureLevel, FullScaleIsZeroDbAndSilenceReadsAsHalfAStep) {
    struct Case {
        float peak;
        float levelDb;
    };
    for (const Case c : {Case{32767.0f, 0.0f}, Case{32768.0f, 0.0f}, Case{327.67f, -40.0f},
                         Case{3276.7f, -20.0f}, Case{0.0f, -96.3292f}, Case{0.5f, -96.3292f}}) {
        EXPECT_NEAR(captureLevelDb(c.peak), c.levelDb, 1e-3f) << "peak " << c.peak;
    }
}

TEST_F(AudioEngineTest, WatchdogReopensOnlyDeadDirectionsAndOnlyWhileIdle) {
    ASSERT_TRUE(m_engine.openPlayback("Speakers"));
    ASSERT_TRUE(m_engine.openCapture("Line In"));
    std::array<std::int16_t, 2 * kAudioBlockLength> stereo{};

    // Busy: nothing is reopened even though neither direction delivered.
    m_engine.watchdogTick(false);
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Capture), 1);
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Playback), 1);

    // Idle, capture alive, playback silent since the last tick: only playback is reopened.
    m_engine.onCaptureBlock(stereo);
    m_engine.watchdogTick(true);
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Capture), 1);
    ASSERT_EQ(m_devices.opensOf(AudioDirection::Playback), 2);
    EXPECT_EQ(m_devices.opens.back().name, "Speakers");
    EXPECT_TRUE(m_engine.playbackOpen());

    // The flags were cleared by the last tick: a capture block before it does not count now.
    request();
    m_engine.watchdogTick(true);
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Capture), 2);
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Playback), 2);
}

TEST_F(AudioEngineTest, AMissingDeviceLeavesTheDirectionClosedAndSaysSoOnce) {
    EXPECT_FALSE(m_engine.openCapture("USB Audio CODEC"));
    EXPECT_FALSE(m_engine.captureOpen());
    ASSERT_EQ(m_logLines.size(), 1U);
    EXPECT_NE(m_logLines[0].find("Audio input is closed"), std::string::npos);
    EXPECT_NE(m_logLines[0].find("\"USB Audio CODEC\""), std::string::npos);

    m_engine.watchdogTick(true);  // retried, still missing: no second line
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Capture), 2);
    EXPECT_EQ(m_logLines.size(), 1U);

    m_devices.present.push_back("USB Audio CODEC");
    m_engine.watchdogTick(true);
    EXPECT_TRUE(m_engine.captureOpen());
    ASSERT_EQ(m_logLines.size(), 2U);
    EXPECT_NE(m_logLines[1].find("Audio input is open again"), std::string::npos);

    m_devices.present.clear();
    EXPECT_FALSE(m_engine.openPlayback("Speakers"));
    EXPECT_NE(m_logLines.back().find("Audio output is closed"), std::string::npos);
}

TEST_F(AudioEngineTest, ADeviceThatFailsIsClosedReportedAndReopenedWhileIdle) {
    ASSERT_TRUE(m_engine.openCapture("Line In"));
    ASSERT_TRUE(m_engine.openPlayback("Speakers"));
    std::array<std::int16_t, 2 * kAudioBlockLength> stereo{};
    m_engine.onCaptureBlock(stereo);

    m_devices.present = {"Speakers"};  // the capture device was unplugged
    m_engine.onDeviceFailed(AudioDirection::Capture);
    EXPECT_FALSE(m_engine.captureOpen());
    EXPECT_TRUE(m_engine.playbackOpen());
    ASSERT_EQ(m_devices.closes.size(), 1U);
    EXPECT_EQ(m_devices.closes[0], AudioDirection::Capture);
    ASSERT_EQ(m_logLines.size(), 1U);
    EXPECT_NE(m_logLines[0].find("Audio input failed on the device \"Line In\""), std::string::npos);
    // A second report of the same loss changes nothing.
    m_engine.onDeviceFailed(AudioDirection::Capture);
    EXPECT_EQ(m_logLines.size(), 1U);

    m_engine.watchdogTick(false);  // a link in progress: left closed
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Capture), 1);
    m_engine.watchdogTick(true);  // idle, still missing: tried, quietly
    EXPECT_EQ(m_devices.opensOf(AudioDirection::Capture), 2);
    EXPECT_FALSE(m_engine.captureOpen());
    EXPECT_EQ(m_logLines.size(), 1U);

    m_devices.present.push_back("Line In");  // plugged in again
    m_engine.watchdogTick(true);
    EXPECT_TRUE(m_engine.captureOpen());
    EXPECT_NE(m_logLines.back().find("Audio input is open again"), std::string::npos);
}

TEST_F(AudioEngineTest, RefusesASymbolLengthThatDoesNotFitTheRing) {
    EXPECT_THROW(m_engine.setSymbolLength(0), std::invalid_argument);
    EXPECT_THROW(m_engine.setSymbolLength(kTxSampleRingLength + 1), std::invalid_argument);
    EXPECT_NO_THROW(m_engine.setSymbolLength(kTxSampleRingLength));
}

}  // namespace
}  // namespace zolk
