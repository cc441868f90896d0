#include "radio/posix/termios_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zolk {

namespace {

constexpr std::array<std::pair<int, speed_t>, 18> kSpeeds{{
    {50, B50},
    {75, B75},
    {110, B110},
    {150, B150},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {921600, B921600},
}};

// A CAT command is a few bytes; a radio that takes longer than this to accept them is gone.
constexpr int kWriteTimeoutMs = 500;

}  // namespace

TermiosSerialPort::~TermiosSerialPort() { close(); }

bool TermiosSerialPort::fail(const std::string& what) {
    m_error = what + ": " + std::strerror(errno);
    return false;
}

bool TermiosSerialPort::open(const std::string& device, const SerialSettings& settings, bool rts,
                             bool dtr) {
    close();
    speed_t speed = 0;
    for (const auto& [baud, code] : kSpeeds) {
        if (baud == settings.baud) speed = code;
    }
    if (speed == 0) {
        m_error = "unsupported baud rate " + std::to_string(settings.baud);
        return false;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(device);
    termios tty{};
    if (::tcgetattr(fd, &tty) != 0) {
        fail(device);
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&tty);
    tty.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tty.c_cflag |= CLOCAL | CREAD;
    tty.c_cflag |= settings.dataBits == 5   ? CS5
                   : settings.dataBits == 6 ? CS6
                   : settings.dataBits == 7 ? CS7
                                            : CS8;
    if (settings.parity != 'n') tty.c_cflag |= PARENB;
    if (settings.parity == 'o') tty.c_cflag |= PARODD;
    if (settings.stopBits == 2) tty.c_cflag |= CSTOPB;
    tty.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Not HUPCL: closing must not drop DTR on its own; we lower the lines ourselves.
    tty.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    ::cfsetispeed(&tty, speed);
    ::cfsetospeed(&tty, speed);
    if (::tcsetattr(fd, TCSANOW, &tty) != 0) {
        fail(device);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    // A pseudo-terminal has no modem lines; the levels matter only on a real port.
    setRts(rts);
    setDtr(dtr);
    m_error.clear();
    return true;
}

void TermiosSerialPort::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool TermiosSerialPort::write(std::string_view bytes) {
    if (m_fd < 0) {
        m_error = "the port is closed";
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, kWriteTimeoutMs) > 0 && (p.revents & POLLOUT) != 0) continue;
            m_error = "the port does not take the bytes";
            return false;
        }
        return fail("write");
    }
    return true;
}

bool TermiosSerialPort::setLine(int line, bool level) {
    if (m_fd < 0) {
        m_error = "the port is closed";
        return false;
    }
    if (::ioctl(m_fd, level ? TIOCMBIS : TIOCMBIC, &line) != 0) return fail("modem line");
    return true;
}

bool TermiosSerialPort::setRts(bool level) { return setLine(TIOCM_RTS, level); }
bool TermiosSerialPort::setDtr(bool level) { return setLine(TIOCM_DTR, level); }

}  // namespace zolk
