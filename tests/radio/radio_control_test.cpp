#include "radio/radio_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "radio_fakes.h"

namespace zolk::test {
namespace {

using Ops = std::vector<std::string>;

class RadioControlTest : public RadioControlFixture<> {
protected:
    RadioControlTest() { radio.setPttExternal(false); }

    // The deferred key-up runs as the 1 ms timer fires.
    void fireKeyUp() {
        if (timers.isRunning(TimerId::KeyPtt)) radio.onTimer(TimerId::KeyPtt);
    }
    void keyAndRelease() {
        radio.pttOn();
        fireKeyUp();
        radio.pttOff();
    }
    void use(const RadioSettings& settings) {
        radio.configure(settings);
        radio.openRadioPort();
    }
};

RadioSettings cat(int rig, std::string baud = "4800", std::string address = "") {
    RadioSettings s;
    s.via = PttVia::Cat;
    s.rig = rig;
    s.catPort = "ttyUSB0";
    s.catBaud = std::move(baud);
    s.icomAddress = std::move(address);
    return s;
}

RadioSettings lines(int pin) {
    RadioSettings s;
    s.via = PttVia::SerialLines;
    s.pttPort = "/dev/ttyS1";
    s.pin = pin;
    return s;
}

TEST_F(RadioControlTest, KeyUpWaitsForTheTimerAndTellsHostAndPanel) {
    use(cat(87));
    radio.pttOn();
    EXPECT_TRUE(radio.transmitActive());
    EXPECT_EQ(host.hostLines, Ops{"PTT ON"});
    EXPECT_TRUE(serial.keying().empty()) << "keyed before the timer tick";
    EXPECT_EQ(ui.panelText("PTT"), "TX");
    EXPECT_EQ(ui.panelIcon("PTT"), "LedRojo");
    EXPECT_EQ(ui.panelTip("PTT"), "PTT ON");
    fireKeyUp();
    EXPECT_EQ(serial.keying(), Ops{"write 54 58 3B"});  // TX;
    EXPECT_FALSE(timers.isRunning(TimerId::KeyPtt));
    radio.pttOff();
    EXPECT_FALSE(radio.transmitActive());
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    EXPECT_EQ(serial.keying(), (Ops{"write 54 58 3B", "write 52 58 3B"}));  // RX;
    EXPECT_EQ(ui.panelText("PTT"), "RX");
    EXPECT_EQ(ui.panelIcon("PTT"), "LedVerde");
    EXPECT_EQ(ui.panelTip("PTT"), "PTT OFF");
}

TEST_F(RadioControlTest, RepeatedCallsSendOneLineEach) {
    use(cat(87));
    radio.pttOn();
    radio.pttOn();
    fireKeyUp();
    radio.pttOff();
    radio.pttOff();
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    EXPECT_EQ(serial.keying(), (Ops{"write 54 58 3B", "write 52 58 3B"}));
}

TEST_F(RadioControlTest, ReleaseBeforeTheKeyUpNeverKeys) {
    use(cat(87));
    radio.pttOn();
    radio.pttOff();
    EXPECT_FALSE(timers.isRunning(TimerId::KeyPtt));
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    // The release is written (harmless), the key never.
    EXPECT_EQ(serial.keying(), Ops{"write 52 58 3B"});
    EXPECT_FALSE(radio.radioKeyed());
}

TEST_F(RadioControlTest, HostKeyedPttWritesNothingButTellsTheHost) {
    use(cat(87));
    ASSERT_TRUE(radio.radioPortOpen());
    radio.setPttExternal(true);
    radio.openRadioPort();
    EXPECT_FALSE(radio.radioPortOpen());
    const auto opsBefore = serial.ops.size();
    keyAndRelease();
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    EXPECT_EQ(serial.ops.size(), opsBefore);
}

TEST_F(RadioControlTest, SerialLinesFollowThePin) {
    struct Case {
        int pin;
        Ops keying;
    };
    const std::vector<Case> cases{
        {1, {"rts 1", "rts 0", "dtr 0"}},
        {2, {"dtr 1", "rts 0", "dtr 0"}},
        {3, {"rts 1", "dtr 1", "rts 0", "dtr 0"}},
    };
    for (const auto& c : cases) {
        radio.closeRadioPort();
        serial.ops.clear();
        use(lines(c.pin));
        ASSERT_EQ(serial.ops.front(), "open /dev/ttyS1 4800,n,8,2 rts=0 dtr=0") << c.pin;
        keyAndRelease();
        EXPECT_EQ(serial.keying(), c.keying) << "pin " << c.pin;
    }
}

TEST_F(RadioControlTest, PortReopensOnlyWhenItsSettingsChange) {
    RadioSettings s = cat(87, "9600");
    s.catRts = true;
    use(s);
    use(s);
    EXPECT_EQ(serial.ops, Ops{"open /dev/ttyUSB0 9600,n,8,1 rts=1 dtr=0"});
    s.catBaud = "4800";
    use(s);
    EXPECT_EQ(serial.ops, (Ops{"open /dev/ttyUSB0 9600,n,8,1 rts=1 dtr=0", "rts 0", "dtr 0",
                               "close", "open /dev/ttyUSB0 4800,n,8,2 rts=1 dtr=0"}));
}

// Switching to VOX closes the port; switching back to the very same settings must open it again.
TEST_F(RadioControlTest, ClosedPortForgetsItsSettings) {
    const RadioSettings s = cat(87);
    use(s);
    RadioSettings vox = s;
    vox.via = PttVia::Vox;
    use(vox);
    EXPECT_FALSE(radio.radioPortOpen());
    use(s);
    EXPECT_TRUE(radio.radioPortOpen());
    keyAndRelease();
    EXPECT_EQ(serial.keying().front(), "rts 0");  // lines lowered at the close
    EXPECT_EQ(serial.ops.back(), "write 52 58 3B");
}

TEST_F(RadioControlTest, PortThatCannotOpenIsReportedAndTriedAgainAtKeyUp) {
    serial.refuseOpen = true;
    use(cat(87));
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].first, "ZOLK SAT");
    EXPECT_EQ(
        ui.messageBoxes()[0].second,
        "Unable to open radio serial port /dev/ttyUSB0. May be in use by another application.");
    serial.refuseOpen = false;
    keyAndRelease();
    EXPECT_EQ(serial.keying(), (Ops{"write 54 58 3B", "write 52 58 3B"}));
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
}

// Host and panel say PTT ON; the operator must learn that the radio was not keyed, once, and the
// next key-up tries again.
TEST_F(RadioControlTest, KeyingFailureIsReportedOnceAndRetried) {
    use(cat(87));
    serial.failWrites = true;
    keyAndRelease();
    keyAndRelease();
    ASSERT_EQ(ui.logLines().size(), 1u);
    EXPECT_EQ(ui.logLines()[0],
              "PTT ON: the radio was not keyed: the serial port /dev/ttyUSB0 failed: device gone");
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF", "PTT ON", "PTT OFF"}));
    // The failed port was closed; the next key-up opened it again.
    EXPECT_EQ(std::count(serial.ops.begin(), serial.ops.end(),
                         "open /dev/ttyUSB0 4800,n,8,2 rts=0 dtr=0"),
              2);
    radio.pttOn();
    EXPECT_EQ(ui.panelTip("PTT"), "PTT ON");
    serial.failWrites = false;
    fireKeyUp();
    EXPECT_EQ(serial.ops.back(), "write 54 58 3B");
    radio.pttOff();
    // A new failure after a success is reported again.
    serial.failWrites = true;
    radio.pttOn();
    fireKeyUp();
    EXPECT_EQ(ui.logLines().size(), 2u);
    EXPECT_EQ(ui.panelTip("PTT"), "PTT ON (radio not keyed)");
}

TEST_F(RadioControlTest, DisconnectingKeepsTheRadioKeyedUntilTheCleanup) {
    use(cat(87));
    radio.pttOn();
    fireKeyUp();
    host.disconnecting = true;
    radio.pttOff();
    EXPECT_FALSE(radio.transmitActive());
    EXPECT_EQ(host.hostLines, Ops{"PTT ON"});
    EXPECT_EQ(serial.keying(), Ops{"write 54 58 3B"});
    host.disconnecting = false;
    radio.pttOff();
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    EXPECT_EQ(serial.keying(), (Ops{"write 54 58 3B", "write 52 58 3B"}));
    radio.pttOff();
    EXPECT_EQ(host.hostLines.size(), 2u);
}

TEST_F(RadioControlTest, ReleaseNowReleasesEvenWhileDisconnecting) {
    use(cat(87));
    radio.pttOn();
    fireKeyUp();
    host.disconnecting = true;
    radio.pttOff();
    radio.releaseNow();
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    EXPECT_EQ(serial.keying(), (Ops{"write 54 58 3B", "write 52 58 3B"}));
    EXPECT_FALSE(radio.radioKeyed());
}

TEST_F(RadioControlTest, SafetyLimitReleasesAStuckKey) {
    use(cat(87));
    radio.pttOn();
    fireKeyUp();
    ASSERT_TRUE(timers.isRunning(TimerId::PttSafety));
    // Nothing releases it: the limit fires.
    radio.onTimer(TimerId::PttSafety);
    EXPECT_FALSE(radio.transmitActive());
    EXPECT_FALSE(radio.radioKeyed());
    EXPECT_EQ(serial.keying(), (Ops{"write 54 58 3B", "write 52 58 3B"}));
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    ASSERT_FALSE(ui.logLines().empty());
    EXPECT_EQ(ui.logLines().back(), "PTT held longer than 60 s: released");
    EXPECT_FALSE(timers.isRunning(TimerId::PttSafety));
}

TEST_F(RadioControlTest, SafetyLimitStopsWithAnOrdinaryRelease) {
    use(cat(87));
    keyAndRelease();
    EXPECT_FALSE(timers.isRunning(TimerId::PttSafety));
    // Still running while the Disconnecting state holds the radio keyed.
    radio.pttOn();
    fireKeyUp();
    host.disconnecting = true;
    radio.pttOff();
    EXPECT_TRUE(timers.isRunning(TimerId::PttSafety));
}

TEST_F(RadioControlTest, IndicatorsLightAndReset) {
    struct Case {
        TransmitIndicator kind;
        bool repetition;
        IndicatorColour colour;
    };
    const std::vector<Case> cases{
        {TransmitIndicator::Data, false, IndicatorColour::Green},
        {TransmitIndicator::Data, true, IndicatorColour::Red},
        {TransmitIndicator::Ack, false, IndicatorColour::Green},
        {TransmitIndicator::Nack, false, IndicatorColour::Red},
        {TransmitIndicator::Req, false, IndicatorColour::Red},
        {TransmitIndicator::Start, false, IndicatorColour::Green},
        {TransmitIndicator::Break, false, IndicatorColour::Green},
        {TransmitIndicator::Qrt, false, IndicatorColour::Green},
    };
    for (const auto& c : cases) {
        radio.lightIndicator(c.kind, c.repetition);
        EXPECT_EQ(ui.indicator(c.kind), c.colour) << static_cast<int>(c.kind);
    }
    // The release paints them all white.
    radio.pttOn();
    radio.pttOff();
    for (std::size_t i = 0; i < kTransmitIndicatorCount; ++i) {
        EXPECT_EQ(ui.indicator(static_cast<TransmitIndicator>(i)), IndicatorColour::White);
    }
}

TEST_F(RadioControlTest, VoxKeysNothing) {
    RadioSettings s = cat(87);
    s.via = PttVia::Vox;
    use(s);
    keyAndRelease();
    EXPECT_TRUE(serial.ops.empty());
    EXPECT_EQ(host.hostLines, (Ops{"PTT ON", "PTT OFF"}));
    EXPECT_TRUE(ui.logLines().empty());
}

}  // namespace
}  // namespace zolk::test
