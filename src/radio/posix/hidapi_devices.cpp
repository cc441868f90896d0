#include "radio/posix/hidapi_devices.h"

#include <hidapi/hidapi.h>

namespace zolk {

HidapiDevices::HidapiDevices() : m_initialised(hid_init() == 0) {}

HidapiDevices::~HidapiDevices() {
    close();
    if (m_initialised) hid_exit();
}

std::vector<HidDeviceInfo> HidapiDevices::enumerate() {
    std::vector<HidDeviceInfo> devices;
    if (!m_initialised) return devices;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
        devices.push_back({d->path != nullptr ? d->path : "", d->vendor_id, d->product_id});
    }
    hid_free_enumeration(list);
    return devices;
}

bool HidapiDevices::open(const std::string& path) {
    close();
    if (!m_initialised) return false;
    m_device = hid_open_path(path.c_str());
    return m_device != nullptr;
}

void HidapiDevices::close() {
    if (m_device != nullptr) hid_close(m_device);
    m_device = nullptr;
}

bool HidapiDevices::write(std::span<const std::uint8_t> report) {
    if (m_device == nullptr) return false;
    return hid_write(m_device, report.data(), report.size()) == static_cast<int>(report.size());
}

}  // namespace zolk
