// CAT keying through the termios port on a pseudo-terminal: the bytes the radio would receive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "radio/posix/termios_serial_port.h"
#include "radio/radio_control.h"
#include "radio_fakes.h"

namespace zolk::test {
namespace {

class Pty {
public:
    Pty() {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) m_name = name;
    }
    ~Pty() {
        if (m_master >= 0) ::close(m_master);
        if (m_slave >= 0) ::close(m_slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& name() const { return m_name; }
    int slave() const { return m_slave; }
    // Everything written to the terminal so far, waiting at most 200 ms for the first byte.
    std::string drain() {
        std::string bytes;
        pollfd p{m_master, POLLIN, 0};
        for (int wait = 200; ::poll(&p, 1, wait) > 0; wait = 20) {
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_name;
};

class CatPtyTest : public RadioControlFixture<TermiosSerialPort> {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.name().empty()) << "no pseudo-terminal";
        radio.setPttExternal(false);
    }
    void use(int rig, const std::string& baud, const std::string& address = "") {
        RadioSettings s;
        s.via = PttVia::Cat;
        s.rig = rig;
        s.catPort = pty.name();
        s.catBaud = baud;
        s.icomAddress = address;
        radio.configure(s);
        radio.openRadioPort();
        ASSERT_TRUE(radio.radioPortOpen()) << serial.error();
    }
    // The bytes of one key-up and, separately, of the release.
    std::pair<std::string, std::string> keyAndRelease() {
        radio.pttOn();
        radio.onTimer(TimerId::KeyPtt);
        std::string on = pty.drain();
        radio.pttOff();
        return {on, pty.drain()};
    }

    Pty pty;
};

std::string bytes(std::initializer_list<unsigned char> list) {
    return std::string(list.begin(), list.end());
}

TEST_F(CatPtyTest, EachCatTypeSendsItsBytes) {
    struct Case {
        const char* model;
        const char* address;
        std::string on;
        std::string off;
    };
    const std::vector<Case> cases{
        {"IC-7300", "", bytes({0xFE, 0xFE, 0x94, 0xE0, 0x1C, 0x00, 0x01, 0xFD}),
         bytes({0xFE, 0xFE, 0x94, 0xE0, 0x1C, 0x00, 0x00, 0xFD})},
        {"IC-7300", "5e", bytes({0xFE, 0xFE, 0x5E, 0xE0, 0x1C, 0x00, 0x01, 0xFD}),
         bytes({0xFE, 0xFE, 0x5E, 0xE0, 0x1C, 0x00, 0x00, 0xFD})},
        {"IC-7300", "5E", bytes({0xFE, 0xFE, 0x5E, 0xE0, 0x1C, 0x00, 0x01, 0xFD}),
         bytes({0xFE, 0xFE, 0x5E, 0xE0, 0x1C, 0x00, 0x00, 0xFD})},
        {"IC-7300", "A", bytes({0xFE, 0xFE, 0xA0, 0xE0, 0x1C, 0x00, 0x01, 0xFD}),
         bytes({0xFE, 0xFE, 0xA0, 0xE0, 0x1C, 0x00, 0x00, 0xFD})},
        {"FT-817", "", bytes({0x00, 0x00, 0x00, 0x00, 0x08}),
         bytes({0x00, 0x00, 0x00, 0x00, 0x88})},
        {"FT-1000MP", "", bytes({0x00, 0x00, 0x00, 0x01, 0x0F}),
         bytes({0x00, 0x00, 0x00, 0x00, 0x0F})},
        {"TS-2000", "", "TX;", "RX;"},
        {"TS-590SG", "", "TX1;", "RX;"},
        {"FT-991", "", "TX1;", "TX0;"},
        {"Omni-VII", "", bytes({'*', 'T', 0x04, 0x00, 0x0D}), bytes({'*', 'T', 0x00, 0x00, 0x0D})},
        {"Pegasus", "", "Q1\r", "Q0\r"},
    };
    for (const auto& c : cases) {
        const int rig = radioModelNumber(c.model);
        ASSERT_NE(rig, 0) << c.model;
        radio.closeRadioPort();
        use(rig, std::string(radioModel(rig)->baudRates[0]), c.address);
        const auto [on, off] = keyAndRelease();
        EXPECT_EQ(on, c.on) << c.model << " " << c.address;
        EXPECT_EQ(off, c.off) << c.model << " " << c.address;
    }
}

TEST_F(CatPtyTest, LineSettingsFollowTheModelAndBaud) {
    struct Case {
        const char* model;
        const char* baud;
        speed_t speed;
        bool twoStopBits;
    };
    const std::vector<Case> cases{
        {"FT-991", "4800", B4800, true},    // ASCII commands: two stop bits at 4800
        {"FT-991", "9600", B9600, false},   // and one otherwise
        {"FT-817", "38400", B38400, true},  // Yaesu binary: always two
        {"IC-7300", "115200", B115200, false}, {"Omni-VII", "57600", B57600, false},
    };
    for (const auto& c : cases) {
        radio.closeRadioPort();
        use(radioModelNumber(c.model), c.baud);
        termios tty{};
        ASSERT_EQ(::tcgetattr(pty.slave(), &tty), 0);
        EXPECT_EQ(::cfgetospeed(&tty), c.speed) << c.model << " " << c.baud;
        EXPECT_EQ((tty.c_cflag & CSTOPB) != 0, c.twoStopBits) << c.model << " " << c.baud;
        EXPECT_EQ(tty.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tty.c_cflag & PARENB, 0u);
    }
}

TEST_F(CatPtyTest, HostKeyedPttWritesNothingToThePort) {
    use(radioModelNumber("TS-2000"), "9600");
    radio.setPttExternal(true);
    radio.openRadioPort();
    EXPECT_FALSE(radio.radioPortOpen());
    const auto [on, off] = keyAndRelease();
    EXPECT_EQ(on, "");
    EXPECT_EQ(off, "");
    EXPECT_EQ(host.hostLines, (std::vector<std::string>{"PTT ON", "PTT OFF"}));
}

TEST_F(CatPtyTest, ReleaseBeforeKeyUpSendsOnlyTheRelease) {
    use(radioModelNumber("TS-2000"), "9600");
    radio.pttOn();
    radio.pttOff();
    radio.onTimer(TimerId::KeyPtt);  // a late tick finds nothing to key
    EXPECT_EQ(pty.drain(), "RX;");
}

TEST(TermiosSerialPort, MissingDeviceSaysWhy) {
    TermiosSerialPort port;
    EXPECT_FALSE(port.open("/dev/zolk-no-such-tty", SerialSettings{}, false, false));
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.error().find("/dev/zolk-no-such-tty"), std::string::npos) << port.error();
    EXPECT_FALSE(port.write("TX;"));
}

}  // namespace
}  // namespace zolk::test
