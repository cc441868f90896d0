// radio_fakes.h: recording stand-ins for what the radio control talks to: a serial port that keeps
// every operation in order and a HID list the test fills; and a fixture of a radio control on them.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "radio/hid_ptt_board.h"
#include "radio/null_radio_devices.h"
#include "radio/radio_control.h"
#include "radio/serial_port.h"
#include "sim/recording_ui.h"
#include "support/fake_radio_host.h"
#include "support/recording_timers.h"

namespace zolk::test {

// Every operation as text: "open /dev/ttyUSB0 4800,n,8,2 rts=0 dtr=0", "write FE FE ...",
// "rts 1", "dtr 0", "close".
class RecordingSerialPort final : public SerialPort {
public:
    bool open(const std::string& device, const SerialSettings& s, bool rts, bool dtr) override {
        ops.push_back("open " + device + " " + std::to_string(s.baud) + "," + s.parity + "," +
                      std::to_string(s.dataBits) + "," + std::to_string(s.stopBits) +
                      " rts=" + (rts ? "1" : "0") + " dtr=" + (dtr ? "1" : "0"));
        m_open = !refuseOpen;
        return m_open;
    }
    void close() override {
        if (m_open) ops.push_back("close");
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    bool write(std::string_view bytes) override {
        if (!m_open) return false;
        std::string text = "write";
        for (unsigned char c : bytes) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text += ' ';
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
        ops.push_back(text);
        return !failWrites;
    }
    bool setRts(bool level) override { return line("rts", level); }
    bool setDtr(bool level) override { return line("dtr", level); }
    std::string error() const override { return "device gone"; }

    // Only the keying operations, without open and close.
    std::vector<std::string> keying() const {
        std::vector<std::string> result;
        for (const auto& op : ops) {
            if (op.rfind("open", 0) != 0 && op != "close") result.push_back(op);
        }
        return result;
    }

    std::vector<std::string> ops;
    bool refuseOpen = false;
    bool failWrites = false;

private:
    bool line(const char* name, bool level) {
        if (!m_open) return false;
        ops.push_back(std::string(name) + (level ? " 1" : " 0"));
        return !failWrites;
    }
    bool m_open = false;
};

class FakeHidDevices final : public HidDevices {
public:
    std::vector<HidDeviceInfo> enumerate() override { return present; }
    bool open(const std::string& path) override {
        close();
        for (const auto& d : present) {
            if (d.path == path) openPath = path;
        }
        return openPath.has_value();
    }
    void close() override { openPath.reset(); }
    bool isOpen() const override { return openPath.has_value(); }
    bool write(std::span<const std::uint8_t> report) override {
        if (!openPath || unplugged) return false;
        reports.push_back({*openPath, std::vector<std::uint8_t>(report.begin(), report.end())});
        return true;
    }

    std::vector<HidDeviceInfo> present;
    std::optional<std::string> openPath;
    bool unplugged = false;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> reports;
};

// A radio control on the fakes above; a test makes the serial port or the rigctld link real by
// naming its type.
template <class Serial = RecordingSerialPort, class Rigctld = NullRigctldLink>
class RadioControlFixture : public ::testing::Test {
protected:
    Serial serial;
    FakeHidDevices hid;
    Rigctld rigctld;
    RecordingTimers timers;
    sim::RecordingUi ui;
    FakeRadioHost host;
    RadioControl radio{RadioPorts{timers, ui, serial, hid, rigctld}, host};
};

}  // namespace zolk::test
