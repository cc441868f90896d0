// The rules of the setup dialogs, on a station in virtual time: what each choice stores, when it is
// refused, and what the Tune button puts on the air.
#include "app/station_setup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

#include "app/station.h"
#include "app/station_session.h"
#include "sim/harness.h"
#include "support/scratch_dir.h"

namespace zolk {
namespace {

using std::chrono::milliseconds;
using sim::SimStation;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

class StationSetupTest : public ::testing::Test {
protected:
    SimStation& started(const std::string& settings = {}) {
        if (!settings.empty()) std::ofstream(m_folder / "ZOLK SAT.ini") << settings;
        SimStation& s = m_harness.addStation(m_folder);
        EXPECT_TRUE(s.station().start());
        return s;
    }
    void hostConnects(SimStation& s) {
        m_harness.hostConnects(s, HostSocket::Command);
        m_harness.hostConnects(s, HostSocket::Data);
    }
    void command(SimStation& s, std::string_view line) {
        m_harness.hostSends(s, HostSocket::Command, bytesOf(std::string(line) + "\r"));
    }
    // The host takes over and calls: a link attempt is under way.
    void startCall(SimStation& s) {
        hostConnects(s);
        command(s, "MYCALL EA5ABC");
        command(s, "CONNECT EA5ABC N0CALL");
        ASSERT_TRUE(s.station().session().arq().inProgress());
    }
    std::string settingsText() const {
        std::ifstream in(m_folder / "ZOLK SAT.ini");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool saved(const std::string& line) const { return settingsText().find("\n" + line + "\n") != std::string::npos; }
    static std::size_t messages(SimStation& s) { return s.ui().messageBoxes().size(); }
    static std::string lastMessage(SimStation& s) {
        const auto& boxes = s.ui().messageBoxes();
        return boxes.empty() ? std::string() : boxes.back().first + ": " + boxes.back().second;
    }

    test::ScratchDir m_scratch;
    const std::filesystem::path& m_folder = m_scratch.path();
    sim::Harness m_harness;
};

// Share of the power of the last n samples of the air at one frequency (Goertzel).
double toneShare(const std::vector<std::int16_t>& air, std::size_t n, double hz) {
    const std::size_t start = air.size() - n;
    const double w = 2.0 * std::numbers::pi * hz / 48000.0;
    double s1 = 0.0, s2 = 0.0, total = 0.0;
    for (std::size_t i = start; i < air.size(); ++i) {
        const double x = air[i];
        total += x * x;
        const double s0 = x + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
    return total > 0.0 ? 2.0 * power / (static_cast<double>(n) * total) : 0.0;
}

TEST_F(StationSetupTest, ChosenDeviceIsStoredReopenedAndSaved) {
    SimStation& s = started();
    s.audio().setDevices(AudioDirection::Capture, {"Sim Input", "USB Audio CODEC"});
    s.audio().setDevices(AudioDirection::Playback, {"Sim Output", "USB Audio CODEC"});
    StationSetup& setup = s.station().setup();
    EXPECT_EQ(setup.deviceChoices(AudioDirection::Capture), (std::vector<std::string>{"", "Sim Input", "USB Audio CODEC"}));

    for (const AudioDirection direction : {AudioDirection::Capture, AudioDirection::Playback}) {
        const int opens = s.audio().openCount(direction);
        EXPECT_EQ(setup.chooseDevice(direction, "USB Audio CODEC"), SetupOutcome::Stored);
        EXPECT_EQ(s.audio().openDevice(direction), "USB Audio CODEC");
        EXPECT_EQ(s.audio().openCount(direction), opens + 1);
        // The same name again changes nothing.
        EXPECT_EQ(setup.chooseDevice(direction, "USB Audio CODEC"), SetupOutcome::Unchanged);
        EXPECT_EQ(s.audio().openCount(direction), opens + 1);
    }
    EXPECT_TRUE(saved("Input Device Name=USB Audio CODEC"));
    EXPECT_TRUE(saved("Output Device Name=USB Audio CODEC"));
    EXPECT_EQ(messages(s), 0U);

    // A card that is gone keeps its name on offer, so nothing changes behind the operator's back.
    s.audio().setDevices(AudioDirection::Capture, {"Sim Input"});
    EXPECT_EQ(setup.deviceChoices(AudioDirection::Capture), (std::vector<std::string>{"", "Sim Input", "USB Audio CODEC"}));
}

TEST_F(StationSetupTest, DeviceChangeDuringALinkIsRefusedAndNothingChanges) {
    SimStation& s = started();
    s.audio().setDevices(AudioDirection::Playback, {"Sim Output", "USB Audio CODEC"});
    startCall(s);
    const int opens = s.audio().openCount(AudioDirection::Playback);
    EXPECT_EQ(s.station().setup().chooseDevice(AudioDirection::Playback, "USB Audio CODEC"), SetupOutcome::Refused);
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while connection is in progress");
    EXPECT_EQ(s.station().settings().outputDeviceName, "");
    EXPECT_EQ(s.audio().openCount(AudioDirection::Playback), opens);
}

TEST_F(StationSetupTest, DriveLevelIsClampedToItsRange) {
    SimStation& s = started();
    for (const auto& [chosen, stored] : {std::pair{-12, -12}, {-31, -30}, {3, 0}, {0, 0}, {-30, -30}}) {
        s.station().setup().setDriveLevel(chosen);
        EXPECT_EQ(s.station().settings().txDriveLevel, stored) << chosen;
    }
    s.station().setup().soundCardClosed();
    EXPECT_TRUE(saved("ALC Drive Level=-30"));
}

TEST_F(StationSetupTest, TuneNeedsAHostWhileTheHostKeysTheRadio) {
    SimStation& s = started();
    m_harness.runFor(milliseconds{500});
    s.station().setup().pressTune();
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: To use the TUNE button you have to link ZOLK with a host program");
    EXPECT_FALSE(s.station().setup().tuning());
    m_harness.runFor(milliseconds{1000});
    EXPECT_FALSE(s.station().transmitActive());
    EXPECT_TRUE(std::all_of(s.air().begin(), s.air().end(), [](std::int16_t v) { return v == 0; }));
}

TEST_F(StationSetupTest, TuneSendsThe1500HzToneUntilStoppedOrTheDialogCloses) {
    SimStation& s = started();
    hostConnects(s);
    command(s, "MYCALL EA5ABC");
    StationSetup& setup = s.station().setup();
    for (const bool closeDialog : {false, true}) {
        SCOPED_TRACE(closeDialog ? "closing the dialog" : "pressing Stop");
        const int clears = s.ui().waterfallClears();
        setup.pressTune();
        EXPECT_TRUE(setup.tuning());
        EXPECT_TRUE(s.station().transmitActive());
        EXPECT_EQ(s.ui().panelText("Indicativos"), "Test Tone");
        EXPECT_EQ(s.ui().panelIcon("Indicativos"), "Tune");
        EXPECT_EQ(s.ui().waterfallClears(), clears + 1);
        m_harness.runFor(milliseconds{2500});
        EXPECT_GT(toneShare(s.air(), 4800, 1500.0), 0.95);
        EXPECT_LT(toneShare(s.air(), 4800, 1600.0), 0.01);

        if (closeDialog) {
            setup.soundCardClosed();
        } else {
            setup.pressTune();
        }
        EXPECT_FALSE(setup.tuning());
        EXPECT_FALSE(s.station().transmitActive());
        EXPECT_EQ(s.ui().panelText("Indicativos"), "Disconnected");
        EXPECT_EQ(s.ui().panelTip("Indicativos"), "Modem Disconnected");
        m_harness.runFor(milliseconds{1000});
        // The queued tone was dropped: the air is silent at once.
        const auto& air = s.air();
        EXPECT_TRUE(std::all_of(air.end() - 4800, air.end(), [](std::int16_t v) { return v == 0; }));
    }
    const std::string replies = s.hostLink().sentText(HostSocket::Command);
    EXPECT_NE(replies.find("PTT ON\rPTT OFF\rPTT ON\rPTT OFF\r"), std::string::npos) << replies;
}

TEST_F(StationSetupTest, HostCallEndsTheToneAndGoesOnTheAir) {
    SimStation& s = started();
    hostConnects(s);
    command(s, "MYCALL EA5ABC");
    s.station().setup().pressTune();
    m_harness.runFor(milliseconds{1000});
    ASSERT_TRUE(s.station().setup().tuning());
    command(s, "CONNECT EA5ABC N0CALL");
    EXPECT_FALSE(s.station().setup().tuning());
    EXPECT_TRUE(s.station().session().arq().inProgress());
    // The call code goes out instead of the tone.
    EXPECT_TRUE(s.station().transmitActive());
    EXPECT_EQ(s.station().audioEngine().generator(), TxGenerator::SymbolFeeder);
    const std::string replies = s.hostLink().sentText(HostSocket::Command);
    EXPECT_NE(replies.find("PTT ON\rOK\rPTT OFF\rPTT ON\r"), std::string::npos) << replies;
}

TEST_F(StationSetupTest, TuneDoesNothingDuringALink) {
    SimStation& s = started();
    startCall(s);
    m_harness.runFor(milliseconds{3000});
    s.station().setup().pressTune();
    EXPECT_FALSE(s.station().setup().tuning());
    EXPECT_NE(s.ui().panelText("Indicativos"), "Test Tone");
}

TEST_F(StationSetupTest, HostPortsAreCheckedStoredAndTheHostsReArmed) {
    SimStation& s = started("[Setup]\nRetries=10\n");
    StationSetup& setup = s.station().setup();
    // The settings' limit of 10 is not on the list; 5 stands for it.
    EXPECT_EQ(setup.retriesShown(), 5);
    struct Case {
        const char* port;
        SetupOutcome outcome;
        std::int32_t stored;
    };
    const Case cases[] = {
        {"1024", SetupOutcome::Invalid, 8300},  {"65535", SetupOutcome::Invalid, 8300},
        {"", SetupOutcome::Invalid, 8300},      {"83a0", SetupOutcome::Invalid, 8300},
        {"-8300", SetupOutcome::Invalid, 8300}, {"99999999999", SetupOutcome::Invalid, 8300},
        {"1025", SetupOutcome::Stored, 1025},   {" 65534 ", SetupOutcome::Stored, 65534},
        {"8400", SetupOutcome::Stored, 8400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        const std::size_t before = messages(s);
        EXPECT_EQ(setup.applyHostPorts(c.port, 5), c.outcome);
        EXPECT_EQ(s.station().settings().commandPortNumber, c.stored);
        if (c.outcome == SetupOutcome::Invalid) {
            EXPECT_EQ(lastMessage(s), "ZOLK SAT: Invalid TCP port. BPQ Port should be >1024 and <65535");
        } else {
            EXPECT_EQ(messages(s), before);
            EXPECT_TRUE(saved("TCP Command Port=" + std::to_string(c.stored))) << settingsText();
            EXPECT_EQ(s.hostLink().listeningPort(HostSocket::Command), c.stored);
            EXPECT_EQ(s.hostLink().listeningPort(HostSocket::Data), c.stored + 1);
        }
    }
    EXPECT_EQ(s.station().settings().retryLimit, 5);
    EXPECT_EQ(setup.applyHostPorts("8400", 2), SetupOutcome::Stored);
    EXPECT_EQ(setup.retriesShown(), 2);
    EXPECT_EQ(setup.applyHostPorts("8400", 2), SetupOutcome::Unchanged);
}

TEST_F(StationSetupTest, HostPortChangeDuringALinkIsRefused) {
    SimStation& s = started();
    startCall(s);
    EXPECT_EQ(s.station().setup().applyHostPorts("8400", 3), SetupOutcome::Refused);
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while connection is in progress");
    EXPECT_EQ(s.station().settings().commandPortNumber, 8300);
    EXPECT_TRUE(s.hostLink().connected(HostSocket::Command));
}

TEST_F(StationSetupTest, PttChoicesAreCheckedThenStoredAndSaved) {
    SimStation& s = started();
    hostConnects(s);
    command(s, "MYCALL EA5ABC");
    StationSetup& setup = s.station().setup();
    const int ic7300 = radioModelNumber("IC-7300");
    struct Case {
        const char* name;
        PttVia via;
        int rig;
        const char* address;
        const char* boardIds;
        std::int32_t rigctldPort;
        SetupOutcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {"three-digit address", PttVia::Cat, ic7300, "94A", "0D8C:013A", 4532, SetupOutcome::Invalid, "wrong Icom Address format"},
        {"address not hexadecimal", PttVia::Cat, ic7300, "G4", "0D8C:013A", 4532, SetupOutcome::Invalid, "wrong Icom Address format"},
        {"address not tested for COM", PttVia::SerialLines, ic7300, "94A", "0D8C:013A", 4532, SetupOutcome::Stored, ""},
        {"bad board ids", PttVia::HidBoard, ic7300, "", "0D8C-013A", 4532, SetupOutcome::Invalid, "UZ-Board IDs must be"},
        {"bad rigctld port", PttVia::Rigctld, ic7300, "", "0D8C:013A", 0, SetupOutcome::Invalid, "rigctld needs"},
        {"Icom by CAT", PttVia::Cat, ic7300, "9a", "0D8C:013A", 4532, SetupOutcome::Stored, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PttChoices choices = setup.pttChoices();
        const PttChoices before = choices;
        choices.via = c.via;
        choices.rig = c.rig;
        choices.icomAddress = c.address;
        choices.boardIds = c.boardIds;
        choices.rigctldPort = c.rigctldPort;
        choices.pttPort = "/dev/ttyUSB1";
        EXPECT_EQ(setup.applyPtt(choices), c.outcome);
        if (c.outcome == SetupOutcome::Invalid) {
            EXPECT_NE(lastMessage(s).find(c.message), std::string::npos) << lastMessage(s);
            EXPECT_EQ(setup.pttChoices(), before);
        }
    }
    EXPECT_EQ(s.station().settings().icomAddress, "9A");
    EXPECT_EQ(s.station().radioControl().settings().icomAddress, "9A");
    EXPECT_EQ(s.station().radioControl().settings().via, PttVia::Cat);
    EXPECT_TRUE(saved("Via=1"));
    EXPECT_TRUE(saved("Rig=" + std::to_string(ic7300)));
    EXPECT_TRUE(saved("Icom Address=9A"));
    EXPECT_TRUE(saved("PTTPort=/dev/ttyUSB1"));
}

TEST_F(StationSetupTest, PttChangeDuringALinkIsRefusedWhileViewingIsNot) {
    SimStation& s = started();
    startCall(s);
    StationSetup& setup = s.station().setup();
    EXPECT_EQ(setup.applyPtt(setup.pttChoices()), SetupOutcome::Unchanged);
    PttChoices choices = setup.pttChoices();
    choices.via = PttVia::SerialLines;
    EXPECT_EQ(setup.applyPtt(choices), SetupOutcome::Refused);
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while connection is in progress");
    EXPECT_EQ(s.station().settings().pttVia, 3);
}

TEST(CivAddressShown, OnlyForCatWithAModelThatHasAnAddress) {
    EXPECT_TRUE(civAddressShown(PttVia::Cat, radioModelNumber("IC-7300")));
    EXPECT_FALSE(civAddressShown(PttVia::SerialLines, radioModelNumber("IC-7300")));
    EXPECT_FALSE(civAddressShown(PttVia::Cat, radioModelNumber("FT-897")));
    EXPECT_FALSE(civAddressShown(PttVia::Cat, 0));
}

}  // namespace
}  // namespace zolk
