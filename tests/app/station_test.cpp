#include "app/station.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings_file.h"
#include "app/station_radio.h"
#include "phy/common/mode_table.h"
#include "sim/harness.h"
#include "support/scratch_dir.h"
#include "version.h"

namespace zolk {
namespace {

using sim::SimStation;

class StationTest : public ::testing::Test {
protected:
    void writeSettings(const std::string& text) {
        std::filesystem::create_directories(m_folder);
        std::ofstream(m_folder / "ZOLK SAT.ini") << text;
    }
    std::string settingsText() const {
        std::ifstream in(m_folder / "ZOLK SAT.ini");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    SimStation& started() {
        auto& s = m_harness.addStation(m_folder);
        EXPECT_TRUE(s.station().start());
        return s;
    }

    test::ScratchDir m_scratch;
    const std::filesystem::path& m_folder = m_scratch.path();
    sim::Harness m_harness;
};

TEST_F(StationTest, StartUpShowsTheWindowFromTheSettingsAndOpensBothDirections) {
    writeSettings("[Setup]\nView=2\nWaterFall=0\n[Log]\nLog Caption=Journal\n"
                  "[Position]\nTop Position=100\nLeft Position=200\n");
    auto& s = started();
    const auto& ui = s.ui();
    // The caption is the program's name and the version CMake's project() gives, padded.
    EXPECT_EQ(ui.caption(), "ZOLK SAT v" + std::string(kVersion) + "      ");
    EXPECT_EQ(ui.caption(), kWindowCaption);
    EXPECT_EQ(ui.menu(MenuItem::Log).caption, "Journal");
    EXPECT_EQ(ui.views(), std::vector<std::uint8_t>{2});
    EXPECT_TRUE(ui.menu(MenuItem::ViewWaterfall).checked);
    EXPECT_FALSE(ui.menu(MenuItem::ViewAll).checked);
    EXPECT_TRUE(ui.menu(MenuItem::WaterfallOff).checked);
    EXPECT_FALSE(ui.menu(MenuItem::WaterfallOn).checked);
    // Off: the menu and the session's cleanup at start-up both clear it.
    EXPECT_GE(ui.waterfallClears(), 2);
    EXPECT_FALSE(ui.menu(MenuItem::Ptt).visible);
    EXPECT_TRUE(ui.menu(MenuItem::MonitorOff).checked);
    EXPECT_EQ(ui.windowPosition(), std::make_pair(100, 200));
    for (const auto& [key, text] : {std::pair{"PTT", ""}, {"Indicativos", ""}, {"Baud", ""}, {"Bytes", ""},
                                    {"Public", ""}, {"Listen", "LISTEN"}, {"TCP", "TCP"}, {"Busy", "BUSY"}}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(ui.hasPanel(key));
        EXPECT_EQ(ui.panelText(key), text);
    }
    EXPECT_TRUE(s.audio().isOpen(AudioDirection::Playback));
    EXPECT_TRUE(s.audio().isOpen(AudioDirection::Capture));
    EXPECT_EQ(s.timers().interval(TimerId::BusyOff), std::chrono::milliseconds{2000});
    EXPECT_EQ(s.timers().interval(TimerId::AudioWatchdog), std::chrono::milliseconds{10000});
    EXPECT_FALSE(s.timers().running(TimerId::UpdateCheck));
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(StationTest, GarbledSettingsStartWithDefaults) {
    constexpr char kGarbage[] = "\0\xff[Setup\x01]\nView=\xfe\xfe\n[Setup]\nView=9\nRetries=\0\n";
    writeSettings(std::string(kGarbage, sizeof kGarbage - 1));
    auto& s = started();
    EXPECT_EQ(s.station().settings(), Settings{});
}

TEST_F(StationTest, MenusChangeTheModesAndSaveAtOnce) {
    auto& s = started();
    struct Case {
        MenuItem item;
        const char* savedLine;
        MenuItem checked;
        int clears;  // waterfall clears this item causes while idle
    };
    const Case cases[] = {
        {MenuItem::WaterfallOff, "WaterFall=0", MenuItem::WaterfallOff, 1},
        {MenuItem::WaterfallAuto, "WaterFall=2", MenuItem::WaterfallAuto, 1},
        {MenuItem::WaterfallOn, "WaterFall=1", MenuItem::WaterfallOn, 0},
        {MenuItem::ViewGauges, "View=3", MenuItem::ViewGauges, 0},
        {MenuItem::ViewAll, "View=1", MenuItem::ViewAll, 0},
        {MenuItem::MonitorOn, "Monitor Mode=1", MenuItem::MonitorOn, 0},
        {MenuItem::MonitorOff, "Monitor Mode=0", MenuItem::MonitorOff, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.savedLine);
        const int clearsBefore = s.ui().waterfallClears();
        m_harness.menu(s, c.item);
        EXPECT_NE(settingsText().find(std::string("\n") + c.savedLine + "\n"), std::string::npos);
        EXPECT_TRUE(s.ui().menu(c.checked).checked);
        EXPECT_EQ(s.ui().waterfallClears() - clearsBefore, c.clears);
    }
    EXPECT_FALSE(s.ui().menu(MenuItem::WaterfallOff).checked);
    EXPECT_FALSE(s.ui().menu(MenuItem::ViewGauges).checked);
    EXPECT_FALSE(s.ui().menu(MenuItem::MonitorOn).checked);
    EXPECT_EQ(s.ui().views().back(), 1);

    s.ui().appendMonitor("text");
    m_harness.menu(s, MenuItem::MonitorClear);
    EXPECT_EQ(s.ui().monitor(), "");
}

TEST_F(StationTest, ShutdownStopsEverythingAndSavesThePosition) {
    auto& s = started();
    m_harness.runFor(std::chrono::milliseconds{500});
    s.station().radioControl().pttOn();
    s.station().shutdown(WindowPosition{1234, 5678});
    EXPECT_FALSE(s.station().transmitActive());
    EXPECT_TRUE(s.station().closing());
    EXPECT_FALSE(s.audio().isOpen(AudioDirection::Playback));
    EXPECT_FALSE(s.audio().isOpen(AudioDirection::Capture));
    for (std::size_t i = 0; i < kTimerCount; ++i) EXPECT_FALSE(s.timers().running(static_cast<TimerId>(i)));
    const auto saved = loadSettings(m_folder / "ZOLK SAT.ini");
    EXPECT_EQ(saved.topPosition, 1234);
    EXPECT_EQ(saved.leftPosition, 5678);
    // Nothing runs after shutdown: no watchdog reopens the sound card.
    m_harness.runFor(std::chrono::milliseconds{25000});
    EXPECT_EQ(s.audio().openCount(AudioDirection::Capture), 1);
}

TEST_F(StationTest, AMinimisedWindowKeepsTheSavedPosition) {
    writeSettings("[Position]\nTop Position=-300\nLeft Position=77\n");
    auto& s = started();
    s.station().shutdown(std::nullopt);
    const auto saved = loadSettings(m_folder / "ZOLK SAT.ini");
    EXPECT_EQ(saved.topPosition, -300);
    EXPECT_EQ(saved.leftPosition, 77);
}

TEST_F(StationTest, PttKeysAreWrittenOnlyOnceThePttMenuIsShown) {
    writeSettings("[PTT]\nVia=1\nrig=12\n");
    auto& s = started();
    s.station().shutdown(std::nullopt);
    EXPECT_NE(settingsText().find("[PTT]\nVia=1\nrig=12\n"), std::string::npos);
    EXPECT_EQ(settingsText().find("UZ-Board Device Path"), std::string::npos);

    auto& again = m_harness.addStation(m_folder);
    ASSERT_TRUE(again.station().start());
    again.station().setPttMenuShown(true);
    EXPECT_TRUE(again.ui().menu(MenuItem::Ptt).visible);
    again.station().shutdown(std::nullopt);
    EXPECT_NE(settingsText().find("[PTT]\nVia=1\nRig=12\nPTTPort=COM1\n"), std::string::npos) << settingsText();
    EXPECT_NE(settingsText().find("UZ-Board Device Path="), std::string::npos);
}

TEST_F(StationTest, AFolderThatCannotBeMadeStopsStartUpWithAMessage) {
    std::filesystem::create_directories(m_folder);
    std::ofstream(m_folder / "file") << "x";
    auto& s = m_harness.addStation(m_folder / "file" / "station");
    EXPECT_FALSE(s.station().start());
    ASSERT_EQ(s.ui().messageBoxes().size(), 1U);
    EXPECT_EQ(s.ui().messageBoxes()[0].first, "ZOLK SAT");
    EXPECT_EQ(s.audio().openCount(AudioDirection::Playback), 0);
    EXPECT_FALSE(s.timers().running(TimerId::AudioWatchdog));
}

}  // namespace
}  // namespace zolk

namespace zolk {
namespace {

std::vector<std::uint8_t> commandBytes(std::string_view text) { return {text.begin(), text.end()}; }

class StationKeyingTest : public StationTest {
protected:
    // Started, a host on the CommandPort, the modem keying the radio itself (MYCALL).
    SimStation& startedWithHost(const std::string& settings) {
        writeSettings(settings);
        auto& s = started();
        m_harness.hostConnects(s, HostSocket::Command);
        m_harness.hostSends(s, HostSocket::Command, commandBytes("MYCALL EA5ABC\r"));
        s.hostLink().clearSent(HostSocket::Command);
        return s;
    }
};

// A transmission keys through the radio control: the host hears both lines, and the harness has no
// serial port, so keying by CAT is reported once as a log line.
TEST_F(StationKeyingTest, TransmissionKeysAndReleasesThroughTheRadioControl) {
    auto& s = startedWithHost("[PTT]\nVia=1\nCATPort=/dev/ttyUSB7\n");
    const auto& boxes = s.ui().messageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().second, "Unable to open radio serial port /dev/ttyUSB7. May be in use by another application.");
    m_harness.runFor(std::chrono::milliseconds{1500});
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(kModeTable[5].netBytes), 0x55);
    const std::span<const std::uint8_t> frames[] = {frame};
    s.station().radio().send(5, frames);
    EXPECT_TRUE(s.station().transmitActive());
    for (int i = 0; i < 3000 && s.station().transmitActive(); ++i) m_harness.runFor(std::chrono::milliseconds{10});
    EXPECT_FALSE(s.station().transmitActive());
    EXPECT_EQ(s.hostLink().sentText(HostSocket::Command), "PTT ON\rPTT OFF\r");
    int keyingFailures = 0;
    for (const auto& line : s.ui().logLines()) keyingFailures += line.rfind("PTT ON: the radio was not keyed", 0) == 0;
    EXPECT_EQ(keyingFailures, 1);
    EXPECT_EQ(s.ui().panelText("PTT"), "RX");
}

TEST_F(StationKeyingTest, ClosedHostAndShutdownReleaseFirst) {
    auto& s = startedWithHost("[PTT]\nVia=3\n");
    s.station().radioControl().pttOn();
    m_harness.hostCloses(s, HostSocket::Data);
    EXPECT_FALSE(s.station().transmitActive());
    EXPECT_EQ(s.hostLink().sentText(HostSocket::Command), "PTT ON\rPTT OFF\r");

    s.station().radioControl().pttOn();
    s.station().shutdown(std::nullopt);
    EXPECT_FALSE(s.station().transmitActive());
    EXPECT_EQ(s.hostLink().sentText(HostSocket::Command), "PTT ON\rPTT OFF\rPTT ON\rPTT OFF\r");
}

TEST_F(StationKeyingTest, LogMenuCaptionAndEmptyLog) {
    auto& s = started();
    ASSERT_FALSE(s.station().openLog().has_value());
    EXPECT_EQ(s.ui().messageBoxes().back(), (std::pair<std::string, std::string>{"ZOLK SAT", "Empty Log"}));
    s.station().sessionLog().tuningRequest(1);
    EXPECT_EQ(s.ui().menu(MenuItem::Log).caption, "Log*");
    EXPECT_EQ(loadSettings(m_folder / "ZOLK SAT.ini").logCaption, "Log*");
    EXPECT_EQ(s.station().openLog(), m_folder / "ZOLKSAT.log");
    EXPECT_EQ(s.ui().menu(MenuItem::Log).caption, "Log");
    EXPECT_EQ(loadSettings(m_folder / "ZOLK SAT.ini").logCaption, "Log");
}

}  // namespace
}  // namespace zolk
