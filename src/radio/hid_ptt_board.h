// hid_ptt_board.h: the USB sound interface whose audio chip (CM108, CM119 and alike) keys the
// transmitter through a HID general-purpose output. Finds the board by vendor and product, keeps
// its device path in the settings and one board open; the HID access itself is a port (hidapi in
// radio/posix, an injected list in tests).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zolk {

struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

class HidDevices {
public:
    virtual ~HidDevices() = default;
    // Every HID interface present, in the system's order.
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    // Opens one device for writing, closing the one open before; false when it cannot be opened.
    virtual bool open(const std::string& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes an output report (first byte: report number); false when no device is open or the
    // write failed (board unplugged).
    virtual bool write(std::span<const std::uint8_t> report) = 0;
};

struct UsbId {
    std::uint16_t vendorId;
    std::uint16_t productId;
    bool operator==(const UsbId&) const = default;
};

// C-Media 0D8C:013A and 0D8C:0008, GPIO 3.
inline const std::vector<UsbId> kDefaultPttBoardIds{{0x0D8C, 0x013A}, {0x0D8C, 0x0008}};
inline constexpr int kDefaultPttBoardGpio = 3;

// "0D8C:013A,0D8C:0008" <-> the list; parsing gives nothing for malformed text.
std::optional<std::vector<UsbId>> parseUsbIds(std::string_view text);
std::string formatUsbIds(const std::vector<UsbId>& ids);

class HidPttBoard {
public:
    // ids: the vendor/product pairs that count as a board; gpio 1..8 is the keying pin.
    explicit HidPttBoard(HidDevices& devices, std::vector<UsbId> ids = kDefaultPttBoardIds,
                         int gpio = kDefaultPttBoardGpio);

    void configure(std::vector<UsbId> ids, int gpio);

    // Matching boards present (one entry per device path), closing the open board first.
    int countBoards();
    // Opens the n-th matching board (1-based) and returns its path; empty when there is none.
    std::string openBoardByIndex(int n);
    // 0 for an empty path; else opens the board with that path and returns its position (1-based);
    // when no board has it, nothing stays open and the number of matching boards is returned.
    int openBoardByPath(const std::string& path);
    bool isOpen() const { return m_devices.isOpen(); }
    void close() { m_devices.close(); }

    // The 5-byte output report: report 0, 0, pin mask, pin level, 0.
    std::vector<std::uint8_t> report(bool transmit) const;
    // Writes the report to the open board; false when none is open or the write failed.
    bool setPtt(bool transmit);

private:
    std::vector<HidDeviceInfo> matching();

    HidDevices& m_devices;
    std::vector<UsbId> m_ids;
    int m_gpio;
};

}  // namespace zolk
