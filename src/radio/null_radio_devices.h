// null_radio_devices.h: radio devices for a station that has none (the virtual-time harness,
// tools): no serial port opens, no HID board is present, no rigctld answers. Keying then fails with
// a clear reason, as it would on a machine without the hardware.
#pragma once

#include "radio/hid_ptt_board.h"
#include "radio/rigctld_link.h"
#include "radio/serial_port.h"

namespace zolk {

class NullSerialPort final : public SerialPort {
public:
    bool open(const std::string&, const SerialSettings&, bool, bool) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    bool write(std::string_view) override { return false; }
    bool setRts(bool) override { return false; }
    bool setDtr(bool) override { return false; }
    std::string error() const override { return "no serial ports in this program"; }
};

class NullHidDevices final : public HidDevices {
public:
    std::vector<HidDeviceInfo> enumerate() override { return {}; }
    bool open(const std::string&) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    bool write(std::span<const std::uint8_t>) override { return false; }
};

class NullRigctldLink final : public RigctldLink {
public:
    bool connect(const std::string&, std::uint16_t) override { return false; }
    void close() override {}
    bool connected() const override { return false; }
    std::optional<std::string> transact(std::string_view) override { return std::nullopt; }
    std::string error() const override { return "no network in this program"; }
};

}  // namespace zolk
