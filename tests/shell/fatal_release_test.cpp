// A program that crashes or throws past main while it keys the radio releases it first: a child
// process keys a CAT radio on a pseudo-terminal, dies, and the radio's side reads the release.
#include "shell/fatal_release.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "ports/null_ui_sink.h"
#include "radio/null_radio_devices.h"
#include "radio/posix/termios_serial_port.h"
#include "radio/radio_control.h"
#include "support/fake_radio_host.h"
#include "support/recording_timers.h"

namespace zolk::shell {
namespace {

// Runs in the child: keys a TS-2000 on the terminal named slave, then fails as `fail` does.
[[noreturn]] void keyAndFail(const std::string& slave, const std::function<void()>& fail) {
    TermiosSerialPort port;
    NullHidDevices hid;
    NullRigctldLink rigctld;
    zolk::test::RecordingTimers timers;
    NullUiSink ui;
    zolk::test::FakeRadioHost host;
    RadioControl radio(RadioPorts{timers, ui, port, hid, rigctld}, host);
    RadioSettings settings;
    settings.via = PttVia::Cat;
    settings.rig = radioModelNumber("TS-2000");
    settings.catPort = slave;
    settings.catBaud = "9600";
    radio.configure(settings);
    radio.setPttExternal(false);
    radio.openRadioPort();
    radio.pttOn();
    radio.onTimer(TimerId::KeyPtt);
    releaseOnFatalError(&radio);
    fail();
    ::_exit(0);  // not reached
}

// What the radio received from a child that failed as `fail` does, and how the child ended.
std::pair<std::string, int> radioSeesChild(const std::function<void()>& fail) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) return {"no pseudo-terminal", -1};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(master);
        keyAndFail(name, fail);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    std::string bytes;
    pollfd p{master, POLLIN, 0};
    while (::poll(&p, 1, 100) > 0) {
        char buffer[64];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(slave);
    ::close(master);
    return {bytes, status};
}

TEST(FatalRelease, CrashSignalReleasesTheRadioFirst) {
    const auto [bytes, status] = radioSeesChild([] { ::raise(SIGSEGV); });
    EXPECT_EQ(bytes, "TX;RX;");
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);  // the crash still ends the program as a crash
}

void throwFailure() { throw std::runtime_error("failed"); }

TEST(FatalRelease, UncaughtExceptionReleasesTheRadioFirst) {
    // Leaving a noexcept function by an exception calls std::terminate, as an exception that no
    // handler catches does (the test framework would catch one here).
    const auto [bytes, status] = radioSeesChild([]() noexcept { throwFailure(); });
    EXPECT_EQ(bytes, "TX;RX;");
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
}

}  // namespace
}  // namespace zolk::shell
