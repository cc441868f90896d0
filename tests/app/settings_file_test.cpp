#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zolk {
namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::path(::testing::TempDir()) /
                   ("settings_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                    std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        m_file = m_folder / "ZOLK SAT.ini";
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

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

    std::filesystem::path m_folder;
    std::filesystem::path m_file;
};

Settings changedSettings() {
    Settings s;
    s.InputDeviceName = "USB Audio CODEC: Capture";
    s.OutputDeviceName = "USB Audio CODEC: Playback";
    s.UzBoardDevicePath = "/dev/hidraw3";
    s.TxDriveLevel = -17;
    s.Rig = 128;
    s.PttPort = "/dev/ttyUSB0";
    s.CatPort = "/dev/ttyUSB1";
    s.CatBaud = "19200";
    s.PttPin = 3;
    s.CatRts = 1;
    s.CatDtr = 1;
    s.PttVia = 5;
    s.IcomAddress = "94";
    s.UzBoardIds = "0D8C:000C";
    s.UzBoardGpio = 4;
    s.RigctldHost = "::1";
    s.RigctldPort = 14532;
    s.WaterfallMode = 2;
    s.CommandPortNumber = 65534;
    s.RetryLimit = 4;
    s.ViewMode = 3;
    s.TcpListenAll = 1;
    s.MonitorMode = 1;
    s.LogCaption = "Log (3)";
    s.TopPosition = -120;
    s.LeftPosition = 40000;
    s.CalibrationTarget = "EA4XYZ-7";
    return s;
}

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndFirstSaveCreatesIt) {
    EXPECT_EQ(LoadSettings(m_file), Settings{});
    ASSERT_TRUE(SaveSettings(Settings{}, true, m_file));
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
    ASSERT_TRUE(SaveSettings(settings, true, m_file));
    EXPECT_EQ(LoadSettings(m_file), settings);
    // A second save over the file changes nothing.
    const auto first = read();
    ASSERT_TRUE(SaveSettings(settings, true, m_file));
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
    const auto loaded = LoadSettings(m_file);
    EXPECT_EQ(loaded.InputDeviceName, "Line In");
    EXPECT_EQ(loaded.TxDriveLevel, -9);
    EXPECT_EQ(loaded.ViewMode, 2);

    auto changed = loaded;
    changed.InputDeviceName = "Mic";
    ASSERT_TRUE(SaveSettings(changed, false, m_file));
    const auto text = read();
    EXPECT_NE(text.find("; written by hand\n[other]\nkeep=me\n\n[SOUNDCARD]\nInput Device Name=Mic\n"
                        "ALC Drive Level=-9\nOutput Device Name=\n\n[setup]\nView=2\nunknown key=stays\n"
                        "WaterFall=1\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("input DEVICE name"), std::string::npos);
    EXPECT_EQ(LoadSettings(m_file), changed);
}

TEST_F(SettingsFileTest, ValuesAreCutAt255Characters) {
    auto settings = Settings{};
    settings.LogCaption = std::string(300, 'x');
    settings.InputDeviceName = std::string(255, 'y');
    ASSERT_TRUE(SaveSettings(settings, false, m_file));
    const auto loaded = LoadSettings(m_file);
    EXPECT_EQ(loaded.LogCaption, std::string(255, 'x'));
    EXPECT_EQ(loaded.InputDeviceName, std::string(255, 'y'));
}

TEST_F(SettingsFileTest, HiddenPttMenuLeavesThePttKeysExactlyAsTheyWere) {
    const std::string pttPart = "[Soundcard]\nUZ-Board Device Path = /dev/hidraw9 \n\n"
                                "[PTT]\nrig=7\n;note\nPTTPort=/dev/ttyS4\nVia=2\nIcom Address=5E\n";
    write(pttPart);
    auto settings = changedSettings();  // every PTT value differs from the file's
    ASSERT_TRUE(SaveSettings(settings, false, m_file));
    const auto text = read();
    EXPECT_NE(text.find("UZ-Board Device Path = /dev/hidraw9 \n"), std::string::npos) << text;
    EXPECT_NE(text.find("[PTT]\nrig=7\n;note\nPTTPort=/dev/ttyS4\nVia=2\nIcom Address=5E\n"), std::string::npos)
        << text;
    const auto loaded = LoadSettings(m_file);
    EXPECT_EQ(loaded.Rig, 7);
    EXPECT_EQ(loaded.PttVia, 2);
    EXPECT_EQ(loaded.CatPort, "COM1");  // never written while hidden: still the default
    EXPECT_EQ(loaded.InputDeviceName, settings.InputDeviceName);
    EXPECT_EQ(loaded.CalibrationTarget, settings.CalibrationTarget);

    // Shown, the same save writes them.
    ASSERT_TRUE(SaveSettings(settings, true, m_file));
    EXPECT_EQ(LoadSettings(m_file), settings);
}

TEST_F(SettingsFileTest, NumbersThatAreTextOrOutOfRangeFallBackToTheDefault) {
    struct Case {
        const char* name;
        const char* line;  // under its section
        const char* section;
        std::int64_t expected;
        std::int64_t (*field)(const Settings&);
    };
    const auto view = [](const Settings& s) -> std::int64_t { return s.ViewMode; };
    const auto drive = [](const Settings& s) -> std::int64_t { return s.TxDriveLevel; };
    const auto port = [](const Settings& s) -> std::int64_t { return s.CommandPortNumber; };
    const auto top = [](const Settings& s) -> std::int64_t { return s.TopPosition; };
    const auto rig = [](const Settings& s) -> std::int64_t { return s.Rig; };
    const auto retries = [](const Settings& s) -> std::int64_t { return s.RetryLimit; };
    const auto waterfall = [](const Settings& s) -> std::int64_t { return s.WaterfallMode; };
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
        EXPECT_EQ(c.field(LoadSettings(m_file)), c.expected);
    }
}

TEST_F(SettingsFileTest, GarbledOrUnreadableFilesGiveDefaults) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    write(garbage);
    EXPECT_EQ(LoadSettings(m_file), Settings{});
    write("[Setup\nView=3\n]]]\n=\n==2\n[\n");
    EXPECT_EQ(LoadSettings(m_file), Settings{});

    std::filesystem::remove(m_file);
    std::filesystem::create_directory(m_file);  // a folder where the file should be
    EXPECT_EQ(LoadSettings(m_file), Settings{});
    EXPECT_FALSE(SaveSettings(Settings{}, true, m_file));
}

TEST_F(SettingsFileTest, AValueCannotAddLinesToTheFile) {
    auto settings = Settings{};
    settings.LogCaption = "Log\n[PTT]\r\nRig=1";
    ASSERT_TRUE(SaveSettings(settings, false, m_file));
    const auto loaded = LoadSettings(m_file);
    EXPECT_EQ(loaded.LogCaption, "Log [PTT]  Rig=1");
    EXPECT_EQ(loaded.Rig, 52);
}

TEST_F(SettingsFileTest, LoneCarriageReturnsEndLinesAndASaveKeepsWhatWasRead) {
    // Line ends of every kind in one file: CR alone, CR LF and LF.
    write("[Log]\rLog Caption=Journal\r[Setup]\r\nView=3\rWaterFall=2\n[Calibrate]\rTarget=DL1ABC");
    const Settings loaded = LoadSettings(m_file);
    EXPECT_EQ(loaded.LogCaption, "Journal");
    EXPECT_EQ(loaded.ViewMode, 3);
    EXPECT_EQ(loaded.WaterfallMode, 2);
    EXPECT_EQ(loaded.CalibrationTarget, "DL1ABC");
    ASSERT_TRUE(SaveSettings(loaded, true, m_file));
    EXPECT_EQ(LoadSettings(m_file), loaded) << read();
}

TEST_F(SettingsFileTest, AFailedWriteIsReportedAndLeavesNoFile) {
    const auto missingFolder = m_folder / "missing" / "ZOLK SAT.ini";
    EXPECT_FALSE(SaveSettings(Settings{}, true, missingFolder));
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

}  // namespace
}  // namespace zolk
