// hidapi_devices.h: HID interfaces through hidapi's hidraw backend. A normal user needs read and
// write access to /dev/hidraw* (a udev rule; see README).
#pragma once

#include "radio/hid_ptt_board.h"

struct hid_device_;

namespace zolk {

class HidapiDevices final : public HidDevices {
public:
    HidapiDevices();
    ~HidapiDevices() override;
    HidapiDevices(const HidapiDevices&) = delete;
    HidapiDevices& operator=(const HidapiDevices&) = delete;

    std::vector<HidDeviceInfo> enumerate() override;
    bool open(const std::string& path) override;
    void close() override;
    bool isOpen() const override { return m_device != nullptr; }
    bool write(std::span<const std::uint8_t> report) override;

private:
    hid_device_* m_device = nullptr;
    bool m_initialised = false;
};

}  // namespace zolk
