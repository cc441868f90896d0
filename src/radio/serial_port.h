// serial_port.h: the radio's serial port as the radio control sees it: open with line settings and
// the initial RTS/DTR levels, write CAT bytes, set RTS and DTR. The Linux implementation runs on
// termios (radio/posix); tests use a fake or a pseudo-terminal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zolk {

struct SerialSettings {
    int baud = 4800;
    char parity = 'n';  // 'n', 'e', 'o'
    int dataBits = 8;   // 7 or 8
    int stopBits = 1;   // 1 or 2

    bool operator==(const SerialSettings&) const = default;
};

// Reads "4800,n,8,2" (any case); nothing for text that is not baud, parity, data and stop bits.
std::optional<SerialSettings> parseSerialSettings(std::string_view text);

// A stored port name as a device: "/dev/ttyUSB0" stays, "ttyUSB0" becomes "/dev/ttyUSB0".
std::string serialDevicePath(std::string_view portName);

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens device with settings and sets RTS and DTR as given. On failure the port stays closed
    // and error() says why.
    virtual bool open(const std::string& device, const SerialSettings& settings, bool rts,
                      bool dtr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Each returns false when the port is closed or the device refused (unplugged, gone).
    virtual bool write(std::string_view bytes) = 0;
    virtual bool setRts(bool level) = 0;
    virtual bool setDtr(bool level) = 0;
    // The last failure, for messages.
    virtual std::string error() const = 0;
};

}  // namespace zolk
