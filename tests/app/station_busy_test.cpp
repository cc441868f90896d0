// The busy channel watch of whole stations in virtual time: what the host and the "Busy" panel
// are told when a station hears a tone or another station's frame in noise, the release, and the
// pause while a call is under way.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "app/station.h"
#include "app/station_radio.h"
#include "app/station_session.h"
#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "sim/harness.h"
#include "support/scratch_dir.h"

namespace zolk {
namespace {

using sim::SampleTime;
using sim::SimStation;
using std::chrono::milliseconds;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

constexpr double kNoiseSigma = 300.0;

class StationBusyTest : public ::testing::Test {
protected:
    // A started station with both host ports taken, hearing white noise and, while tone(t) holds,
    // a 1000 Hz tone 20 dB above the noise in 2500 Hz.
    SimStation& addStation(const std::string& name, std::function<bool(SampleTime)> tone = {},
                           const std::string& settings = {}) {
        std::filesystem::create_directories(m_root / name);
        if (!settings.empty()) std::ofstream(m_root / name / "ZOLK SAT.ini") << settings;
        SimStation& s = m_harness.addStation(m_root / name);
        auto random = std::make_shared<std::mt19937>(static_cast<unsigned>(name.size() + 7));
        s.setCaptureSource([random, tone](SampleTime start, std::span<float, sim::kBlockSamples> block) {
            std::normal_distribution<double> gauss(0.0, kNoiseSigma);
            // 2 * 300^2 * 24000 / 2500 * 100: a tone of this amplitude stands 20 dB above the noise.
            const double amplitude = kNoiseSigma * std::sqrt(2.0 * 24000.0 / 2500.0 * 100.0);
            for (std::size_t i = 0; i < block.size(); ++i) {
                const SampleTime t = start + static_cast<SampleTime>(i);
                double x = gauss(*random);
                if (tone && tone(t))
                    x += amplitude * std::cos(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(t) / 48000.0);
                block[i] += static_cast<float>(x);
            }
        });
        EXPECT_TRUE(s.station().start());
        m_harness.hostConnects(s, HostSocket::Command);
        m_harness.hostConnects(s, HostSocket::Data);
        return s;
    }
    void command(SimStation& s, std::string_view line) {
        m_harness.hostSends(s, HostSocket::Command, bytesOf(std::string(line) + "\r"));
    }
    static std::string replies(SimStation& s) { return s.hostLink().sentText(HostSocket::Command); }
    // Runs in 10 ms steps until the host's replies contain text after position from; returns the
    // time it appeared, or nothing when limit passed first.
    std::optional<SampleTime> runUntilReply(SimStation& s, std::string_view text, std::size_t from, milliseconds limit) {
        const SampleTime end = m_harness.now() + sim::toSamples(limit);
        while (m_harness.now() < end) {
            if (replies(s).find(text, from) != std::string::npos) return m_harness.now();
            m_harness.runFor(milliseconds{10});
        }
        return std::nullopt;
    }
    static void expectPanel(SimStation& s, bool busy) {
        EXPECT_EQ(s.ui().panelIcon("Busy"), busy ? "LedAmarillo" : "LedVerde");
        EXPECT_EQ(s.ui().panelTip("Busy"), busy ? "Busy Channel" : "Free Channel");
    }
    static constexpr SampleTime seconds(double s) { return static_cast<SampleTime>(s * 48000.0); }

    test::ScratchDir m_scratch;
    const std::filesystem::path& m_root = m_scratch.path();
    sim::Harness m_harness;
};

// A tone from 3 s to 6 s: BUSY ON once within a second of its start, BUSY OFF once about 7 s
// after its end, nothing on noise alone before or after.
TEST_F(StationBusyTest, AToneGivesBusyOnOnceAndBusyOffAfterTheRelease) {
    SimStation& b = addStation("b", [](SampleTime t) { return t >= seconds(3.0) && t < seconds(6.0); });
    m_harness.runUntil(seconds(3.0));
    EXPECT_EQ(replies(b), "") << "noise alone";
    expectPanel(b, false);
    const auto on = runUntilReply(b, "BUSY ON\r", 0, milliseconds{1000});
    ASSERT_TRUE(on.has_value());
    EXPECT_EQ(replies(b), "BUSY ON\r");
    expectPanel(b, true);
    // Busy for at least 165 blocks (7.04 s) after the last detection, near the tone's end.
    m_harness.runUntil(seconds(6.0 + 6.9));
    EXPECT_EQ(replies(b), "BUSY ON\r");
    const auto off = runUntilReply(b, "BUSY OFF\r", 0, milliseconds{1000});
    ASSERT_TRUE(off.has_value()) << replies(b);
    EXPECT_NEAR(sim::toMs(*off - seconds(6.0)), 7040.0, 150.0);
    expectPanel(b, false);
    m_harness.runUntil(seconds(30.0));
    EXPECT_EQ(replies(b), "BUSY ON\rBUSY OFF\r") << "once per change";
}

// Another station's data frame in noise is heard as busy within a second of its start; the
// sender's own detector hears silence while it transmits.
TEST_F(StationBusyTest, AnotherStationsDataFrameIsHeard) {
    SimStation& a = addStation("a");
    SimStation& b = addStation("b");
    m_harness.connect(a, b);
    m_harness.runUntil(seconds(3.0));
    ASSERT_EQ(replies(b), "");
    const ModeRecord& r = modeRecord(8);
    std::vector<std::uint8_t> payload(static_cast<std::size_t>(r.userBytes), 0x5a);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(r.netBytes));
    buildDataFrame(payload, DataFrameHeader{.lastFrame = true, .backlogClass = 0, .publicFlag = false}, frame);
    const std::vector<std::span<const std::uint8_t>> frames{frame};
    a.station().radio().send(8, frames);
    // The frame reaches the air behind the playback queue (200 blocks, about 1.07 s).
    const auto on = runUntilReply(b, "BUSY ON\r", 0, milliseconds{2100});
    ASSERT_TRUE(on.has_value());
    EXPECT_EQ(replies(b), "BUSY ON\r");
    while (a.station().transmitActive()) m_harness.runFor(milliseconds{100});
    EXPECT_EQ(replies(a).find("BUSY"), std::string::npos) << replies(a);
}

// A call pauses the watch: the channel shows free at once and stays so during the call even with
// the tone on; the end of the call resumes the watch 2 s after DISCONNECTED.
TEST_F(StationBusyTest, ACallPausesTheWatchUntilTwoSecondsAfterDisconnected) {
    SimStation& b = addStation("b", [](SampleTime) { return true; }, "[Setup]\nRetries=1\n");
    ASSERT_TRUE(runUntilReply(b, "BUSY ON\r", 0, milliseconds{3000}).has_value());
    command(b, "MYCALL N0CALL");
    const std::size_t beforeCall = replies(b).size();
    command(b, "CONNECT N0CALL EA5ABC");
    EXPECT_NE(replies(b).find("BUSY OFF\r", beforeCall), std::string::npos) << replies(b);
    expectPanel(b, false);
    const auto disconnected = runUntilReply(b, "DISCONNECTED\r", 0, milliseconds{30000});
    ASSERT_TRUE(disconnected.has_value()) << replies(b);
    const std::size_t end = replies(b).size();
    EXPECT_EQ(replies(b).find("BUSY ON\r", beforeCall), std::string::npos) << "none during the call: " << replies(b);
    const auto again = runUntilReply(b, "BUSY ON\r", end, milliseconds{3000});
    ASSERT_TRUE(again.has_value()) << replies(b);
    // Watching from 2 s on; the first test after that comes within three blocks.
    EXPECT_GE(sim::toMs(*again - *disconnected), 2000.0);
    EXPECT_LE(sim::toMs(*again - *disconnected), 2000.0 + 3 * 128 / 3.0 + 20.0);
}

// A calibration ping is not sent over a busy channel: the operator is told and the host's
// CALIBRATE answered WRONG; once the channel is free again the ping goes out.
TEST_F(StationBusyTest, APingWaitsForAFreeChannel) {
    SimStation& b = addStation("b", [](SampleTime t) { return t < seconds(3.0); });
    ASSERT_TRUE(runUntilReply(b, "BUSY ON\r", 0, milliseconds{3000}).has_value());
    std::size_t from = replies(b).size();
    command(b, "CALIBRATE FINE EA5ABC");
    EXPECT_EQ(replies(b).substr(from), "WRONG\r");
    ASSERT_FALSE(b.ui().messageBoxes().empty());
    EXPECT_EQ(b.ui().messageBoxes().back(), (std::pair<std::string, std::string>{"ZOLK SAT", "Busy channel"}));
    EXPECT_EQ(b.station().session().arq().state(), SessionState::Disconnected);
    EXPECT_FALSE(b.station().transmitActive());
    ASSERT_TRUE(runUntilReply(b, "BUSY OFF\r", from, milliseconds{9000}).has_value());
    from = replies(b).size();
    command(b, "CALIBRATE FINE EA5ABC");
    EXPECT_EQ(replies(b).substr(from), "PTT ON\rOK\r");
    EXPECT_EQ(b.station().session().arq().state(), SessionState::Pinging);
}

}  // namespace
}  // namespace zolk
