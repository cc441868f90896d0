#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/scratch_dir.h"

namespace zolk {
namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void write(const std::string& text) const {
        std::ofstream out(m_file, std::ios::binary);
        out << text;
    }
    std::string read() const {
        std::ifstream in(m_file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    test::ScratchDir m_scratch;
    const std::filesystem::path& m_folder = m_scratch.path();
    const std::filesystem::path m_file = m_folder / "ZOLK SAT.ini";
};

Settings changedSettings() {
    Settings s;
    s.inputDeviceName = "USB Audio CODEC: Capture";
    s.outputDeviceName = "USB Audio CODEC: Playback";
    s.uzBoardDevicePath = "/dev/hidraw3";
    s.txDriveLevel = -17;
    s.rig = 128;
    s.pttPort = "/dev/ttyUSB0";
    s.catPort = "/dev/ttyUSB1";
    s.catBaud = "19200";
    s.pttPin = 3;
    s.catRts = 1;
    s.catDtr = 1;
    s.pttVia = 5;
    s.icomAddress = "94";
    s.uzBoardIds = "0D8C:000C";
    s.uzBoardGpio = 4;
    s.rigctldHost = "::1";
    s.rigctldPort = 14532;
    s.waterfallMode = 2;
    s.commandPortNumber = 65534;
    s.retryLimit = 4;
    s.viewMode = 3;
    s.tcpListenAll = 1;
    s.monitorMode = 1;
    s.logCaption = "Log (3)";
    s.topPosition = -120;
    s.leftPosition = 40000;
    s.calibrationTarget = "EA4XYZ-7";
    return s;
}

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndFirstSaveCreatesIt) {
    EXPECT_EQ(loadSettings(m_file), Settings{});
    ASSERT_TRUE(saveSettings(Settings{}, true, m_file));
    EXPECT_EQ(read(),
              "[Soundcard]\n"
              "Input Device Name=\n"
              "Output Device Name=\n"
              "ALC Drive Level=-5\n"
              "UZ-Board Device Path=\n"
              "UZ-Board IDs=0D8C:013A,0D8C:0008\n"
              "UZ-Board GPIO=3\n"
              "\n[PTT]\n"
              "Rig=52\nPTTPort=COM1\nCATPort=COM1\nBaud=4800\nPin=1\nRTS=0\nDTR=0\nVia=3\nIcom Address=\n"
              "\n[Setup]\n"
              "WaterFall=1\nTCP Command Port=8300\nRetries=10\nView=1\nTCP Listen All=0\n"
              "Rigctld Host=127.0.0.1\nRigctld Port=4532\n"
              "\n[Monitor]\nMonitor Mode=0\n"
              "\n[Log]\nLog Caption=Log\n"
              "\n[Position]\nTop Position=870\nLeft Position=2325\n"
              "\n[Calibrate]\nTarget=N0CALL\n");
}

TEST_F(SettingsFileTest, RoundTripKeepsEveryValue) {
    const auto settings = changedSettings();
    ASSERT_TRUE(saveSettings(settings, true, m_file));
    EXPECT_EQ(loadSettings(m_file), settings);
    // A second save over the file changes nothing.
    const auto first = read();
    ASSERT_TRUE(saveSettings(settings, true, m_file));
    EXPECT_EQ(read(), first);
}

TEST_F(SettingsFileTest, SectionsAndKeysMatchWithoutCaseAndAreRewrittenInTheirSpelling) {
    write("; written by hand\r\n"
          "[other]\r\n"
          "keep=me\r\n"
          "\r\n"
          "[SOUNDCARD]\r\n"
          "  input DEVICE name = Line In  \r\n"
          "alc drive level=-9\r\n"
          "\r\n"
          "[setup]\r\n"
          "view=2\r\n"
          "unknown key=stays\r\n");
    const auto loaded = loadSettings(m_file);
    EXPECT_EQ(loaded.inputDeviceName, "Line In");
    EXPECT_EQ(loaded.txDriveLevel, -9);
    EXPECT_EQ(loaded.viewMode, 2);

    auto changed = loaded;
    changed.inputDeviceName = "Mic";
    ASSERT_TRUE(saveSettings(changed, false, m_file));
    const auto text = read();
    EXPECT_NE(text.find("; written by hand\n[other]\nkeep=me\n\n[SOUNDCARD]\nInput Device Name=Mic\n"
                        "ALC Drive Level=-9\nOutput Device Name=\n\n[setup]\nView=2\nunknown key=stays\n"
                        "WaterFall=1\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("input DEVICE name"), std::string::npos);
    EXPECT_EQ(loadSettings(m_file), changed);
}

TEST_F(SettingsFileTest, ValuesAreCutAt255Characters) {
    auto settings = Settings{};
    settings.logCaption = std::string(300, 'x');
    settings.inputDeviceName = std::string(255, 'y');
    ASSERT_TRUE(saveSettings(settings, false, m_file));
    const auto loaded = loadSettings(m_file);
    EXPECT_EQ(loaded.logCaption, std::string(255, 'x'));
    EXPECT_EQ(loaded.inputDeviceName, std::string(255, 'y'));
}

TEST_F(SettingsFileTest, HiddenPttMenuLeavesThePttKeysExactlyAsTheyWere) {
    const std::string pttPart = "[Soundcard]\nUZ-Board Device Path = /dev/hidraw9 \n\n"
                                "[PTT]\nrig=7\n;note\nPTTPort=/dev/ttyS4\nVia=2\nIcom Address=5E\n";
    write(pttPart);
    auto settings = changedSettings();  // every PTT value differs from the file's
    ASSERT_TRUE(saveSettings(settings, false, m_file));
    const auto text = read();
    EXPECT_NE(text.find("UZ-Board Device Path = /dev/hidraw9 \n"), std::string::npos) << text;
    EXPECT_NE(text.find("[PTT]\nrig=7\n;note\nPTTPort=/dev/ttyS4\nVia=2\nIcom Address=5E\n"), std::string::npos)
        << text;
    const auto loaded = loadSettings(m_file);
    EXPECT_EQ(loaded.rig, 7);
    EXPECT_EQ(loaded.pttVia, 2);
    EXPECT_EQ(loaded.catPort, "COM1");  // never written while hidden: still the default
    EXPECT_EQ(loaded.inputDeviceName, settings.inputDeviceName);
    EXPECT_EQ(loaded.calibrationTarget, settings.calibrationTarget);

    // Shown, the same save writes them.
    ASSERT_TRUE(saveSettings(settings, true, m_file));
    EXPECT_EQ(loadSettings(m_file), settings);
}

TEST_F(SettingsFileTest, NumbersThatAreTextOrOutOfRangeFallBackToTheDefault) {
    struct Case {
        const char* name;
        const char* line;  // under its section
        const char* section;
        std::int64_t expected;
        std::int64_t (*field)(const Settings&);
    };
    const auto view = [](const Settings& s) -> std::int64_t { return s.viewMode; };
    const auto drive = [](const Settings& s) -> std::int64_t { return s.txDriveLevel; };
    const auto port = [](const Settings& s) -> std::int64_t { return s.commandPortNumber; };
    const auto top = [](const Settings& s) -> std::int64_t { return s.topPosition; };
    const auto rig = [](const Settings& s) -> std::int64_t { return s.rig; };
    const auto retries = [](const Settings& s) -> std::int64_t { return s.retryLimit; };
    const auto waterfall = [](const Settings& s) -> std::int64_t { return s.waterfallMode; };
    const std::array<Case, 22> cases{{
        {"view text", "View=abc", "Setup", 1, view},
        {"view beyond the three views", "View=7", "Setup", 1, view},
        {"view fits", "View=3", "Setup", 3, view},
        {"view number then text", "View=2x", "Setup", 1, view},
        {"view fraction", "View=2.5", "Setup", 1, view},
        {"view empty", "View=", "Setup", 1, view},
        {"drive negative", "ALC Drive Level=-30", "Soundcard", -30, drive},
        {"drive above the slider", "ALC Drive Level=12", "Soundcard", -5, drive},
        {"drive beyond 16 bits", "ALC Drive Level=-40000", "Soundcard", -5, drive},
        {"port 1025", "TCP Command Port=1025", "Setup", 1025, port},
        {"port 65534 beyond signed 16 bits", "TCP Command Port=65534", "Setup", 65534, port},
        {"port 1024", "TCP Command Port=1024", "Setup", 8300, port},
        {"port 65535", "TCP Command Port=65535", "Setup", 8300, port},
        {"port text", "TCP Command Port=eighty", "Setup", 8300, port},
        {"top negative", "Top Position=-40000", "Position", -40000, top},
        {"top beyond 32 bits", "Top Position=99999999999", "Position", 870, top},
        {"rig with plus sign", "Rig=+7", "PTT", 7, rig},
        {"rig zero", "Rig=0", "PTT", 52, rig},
        {"rig beyond the radio table", "Rig=133", "PTT", 52, rig},
        {"retries negative", "Retries=-1", "Setup", 10, retries},
        {"retries beyond 8 bits", "Retries=256", "Setup", 10, retries},
        {"waterfall auto", "WaterFall=2", "Setup", 2, waterfall},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write("[" + std::string(c.section) + "]\n" + c.line + "\n");
        EXPECT_EQ(c.field(loadSettings(m_file)), c.expected);
    }
}

TEST_F(SettingsFileTest, GarbledOrUnreadableFilesGiveDefaults) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    write(garbage);
    EXPECT_EQ(loadSettings(m_file), Settings{});
    write("[Setup\nView=3\n]]]\n=\n==2\n[\n");
    EXPECT_EQ(loadSettings(m_file), Settings{});

    std::filesystem::remove(m_file);
    std::filesystem::create_directory(m_file);  // a folder where the file should be
    EXPECT_EQ(loadSettings(m_file), Settings{});
    EXPECT_FALSE(saveSettings(Settings{}, true, m_file));
}

TEST_F(SettingsFileTest, AValueCannotAddLinesToTheFile) {
    auto settings = Settings{};
    settings.logCaption = "Log\n[PTT]\r\nRig=1";
    ASSERT_TRUE(saveSettings(settings, false, m_file));
    const auto loaded = loadSettings(m_file);
    EXPECT_EQ(loaded.logCaption, "Log [PTT]  Rig=1");
    EXPECT_EQ(loaded.rig, 52);
}

TEST_F(SettingsFileTest, LoneCarriageReturnsEndLinesAndASaveKeepsWhatWasRead) {
    // Line ends of every kind in one file: CR alone, CR LF and LF.
    write("[Log]\rLog Caption=Journal\r[Setup]\r\nView=3\rWaterFall=2\n[Calibrate]\rTarget=DL1ABC");
    const Settings loaded = loadSettings(m_file);
    EXPECT_EQ(loaded.logCaption, "Journal");
    EXPECT_EQ(loaded.viewMode, 3);
    EXPECT_EQ(loaded.waterfallMode, 2);
    EXPECT_EQ(loaded.calibrationTarget, "DL1ABC");
    ASSERT_TRUE(saveSettings(loaded, true, m_file));
    EXPECT_EQ(loadSettings(m_file), loaded) << read();
}

TEST_F(SettingsFileTest, AFailedWriteIsReportedAndLeavesNoFile) {
    const auto missingFolder = m_folder / "missing" / "ZOLK SAT.ini";
    EXPECT_FALSE(saveSettings(Settings{}, true, missingFolder));
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

}  // namespace
}  // namespace zolk
