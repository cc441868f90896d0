#include "radio/hid_ptt_board.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace zolk {

namespace {

std::optional<std::uint16_t> parseHex16(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<std::vector<UsbId>> parseUsbIds(std::string_view text) {
    std::vector<UsbId> ids;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        const auto vendor = parseHex16(item.substr(0, colon));
        const auto product = parseHex16(item.substr(colon + 1));
        if (!vendor || !product) return std::nullopt;
        ids.push_back({*vendor, *product});
        if (comma == std::string_view::npos) return ids;
        text.remove_prefix(comma + 1);
    }
}

std::string formatUsbIds(const std::vector<UsbId>& ids) {
    std::string text;
    for (const UsbId& id : ids) {
        char item[16];
        std::snprintf(item, sizeof item, "%04X:%04X", id.vendorId, id.productId);
        if (!text.empty()) text += ',';
        text += item;
    }
    return text;
}

HidPttBoard::HidPttBoard(HidDevices& devices, std::vector<UsbId> ids, int gpio)
    : m_devices(devices), m_ids(std::move(ids)), m_gpio(gpio) {}

void HidPttBoard::configure(std::vector<UsbId> ids, int gpio) {
    m_ids = std::move(ids);
    m_gpio = gpio;
}

// hidapi may list one device more than once (one entry per HID usage); a board is one path.
std::vector<HidDeviceInfo> HidPttBoard::matching() {
    m_devices.close();
    std::vector<HidDeviceInfo> boards;
    for (HidDeviceInfo& device : m_devices.enumerate()) {
        const bool known = std::find(m_ids.begin(), m_ids.end(),
                                     UsbId{device.vendorId, device.productId}) != m_ids.end();
        const bool seen = std::any_of(boards.begin(), boards.end(), [&](const HidDeviceInfo& b) {
            return b.path == device.path;
        });
        if (known && !seen) boards.push_back(std::move(device));
    }
    return boards;
}

int HidPttBoard::countBoards() { return static_cast<int>(matching().size()); }

std::string HidPttBoard::openBoardByIndex(int n) {
    const auto boards = matching();
    if (n < 1 || n > static_cast<int>(boards.size())) return {};
    const std::string& path = boards[static_cast<std::size_t>(n - 1)].path;
    return m_devices.open(path) ? path : std::string{};
}

int HidPttBoard::openBoardByPath(const std::string& path) {
    if (path.empty()) return 0;
    const auto boards = matching();
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (boards[i].path == path) {
            m_devices.open(path);
            return static_cast<int>(i) + 1;
        }
    }
    return static_cast<int>(boards.size());
}

std::vector<std::uint8_t> HidPttBoard::report(bool transmit) const {
    const auto mask = static_cast<std::uint8_t>(1u << (m_gpio - 1));
    return {0, 0, mask, static_cast<std::uint8_t>(transmit ? mask : 0), 0};
}

bool HidPttBoard::setPtt(bool transmit) {
    const auto bytes = report(transmit);
    return m_devices.isOpen() && m_devices.write(bytes);
}

}  // namespace zolk
