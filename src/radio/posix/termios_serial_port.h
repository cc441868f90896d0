// termios_serial_port.h: the radio's serial port on a Linux tty (/dev/ttyUSB0, /dev/ttyACM0, ...)
// through termios and the modem-control ioctls. Core-side, so the headless program, the tools and
// the tests use the same port as the window does.
#pragma once

#include "radio/serial_port.h"

namespace zolk {

class TermiosSerialPort final : public SerialPort {
public:
    TermiosSerialPort() = default;
    ~TermiosSerialPort() override;
    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    bool open(const std::string& device, const SerialSettings& settings, bool rts,
              bool dtr) override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    bool write(std::string_view bytes) override;
    bool setRts(bool level) override;
    bool setDtr(bool level) override;
    std::string error() const override { return m_error; }

    // The descriptor, for emergency release paths that may not allocate.
    int fd() const { return m_fd; }

private:
    bool setLine(int line, bool level);
    bool fail(const std::string& what);

    int m_fd = -1;
    std::string m_error;
};

}  // namespace zolk
