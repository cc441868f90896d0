// Keying through rigctld: Debian's own rigctld with its dummy rig when it is installed, and a small
// fake server on the loopback address for the failure paths. Every socket waits a bounded time.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "radio/posix/tcp_rigctld_link.h"
#include "radio/radio_control.h"
#include "radio_fakes.h"

extern char** environ;

namespace zolk::test {
namespace {

using namespace std::chrono_literals;

// A listening socket on 127.0.0.1 with a port the system chose.
int listenOnLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Answers each command line with answer(line, connectionNumber); an empty answer closes the
// connection without a reply (rigctld going away). Stops by itself when destroyed.
class FakeRigctld {
public:
    using Answer = std::function<std::string(const std::string& line, int connection)>;

    explicit FakeRigctld(Answer answer) : m_answer(std::move(answer)) {
        m_listen = listenOnLoopback(m_port);
        if (m_listen >= 0) m_thread = std::thread([this] { serve(); });
    }
    ~FakeRigctld() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_listen >= 0) ::close(m_listen);
    }
    std::uint16_t port() const { return m_port; }
    bool ok() const { return m_listen >= 0; }
    std::vector<std::string> lines() {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    int connections() const { return m_connections; }

private:
    void serve() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            const int number = ++m_connections;
            std::string pending;
            bool open = true;
            while (open && !m_stop) {
                pollfd c{client, POLLIN, 0};
                if (::poll(&c, 1, 50) <= 0) continue;
                char buffer[256];
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                pending.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                    const std::string line = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    {
                        std::lock_guard lock(m_mutex);
                        m_lines.push_back(line);
                    }
                    const std::string reply = m_answer(line, number);
                    if (reply.empty()) {
                        open = false;
                        break;
                    }
                    ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
                }
            }
            ::close(client);
        }
    }

    Answer m_answer;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

class RigctldTest : public RadioControlFixture<RecordingSerialPort, TcpRigctldLink> {
protected:
    void use(std::uint16_t port) {
        radio.setPttExternal(false);
        RadioSettings s;
        s.via = PttVia::Rigctld;
        s.rigctldHost = "127.0.0.1";
        s.rigctldPort = port;
        radio.configure(s);
        radio.openRadioPort();
    }
    void key() {
        radio.pttOn();
        radio.onTimer(TimerId::KeyPtt);
    }
    void keyAndRelease() {
        key();
        radio.pttOff();
    }
};

TEST_F(RigctldTest, KeysWithTAndChecksTheAnswer) {
    FakeRigctld server([](const std::string&, int) { return std::string("RPRT 0\n"); });
    ASSERT_TRUE(server.ok());
    use(server.port());
    keyAndRelease();
    EXPECT_EQ(server.lines(), (std::vector<std::string>{"T 1", "T 0"}));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(ui.logLines().empty());
    EXPECT_TRUE(serial.ops.empty());
}

TEST_F(RigctldTest, RefusedConnectionIsReported) {
    std::uint16_t port = 0;
    const int fd = listenOnLoopback(port);  // a port that was free a moment ago
    ASSERT_GE(fd, 0);
    ::close(fd);
    use(port);
    keyAndRelease();
    ASSERT_EQ(ui.logLines().size(), 1u);
    EXPECT_EQ(ui.logLines()[0].rfind("PTT ON: the radio was not keyed: rigctld at 127.0.0.1:" +
                                         std::to_string(port) + " cannot be reached",
                                     0),
              0u)
        << ui.logLines()[0];
    EXPECT_EQ(host.hostLines, (std::vector<std::string>{"PTT ON", "PTT OFF"}));
}

TEST_F(RigctldTest, ErrorAnswerIsReported) {
    FakeRigctld server([](const std::string&, int) { return std::string("RPRT -1\n"); });
    ASSERT_TRUE(server.ok());
    use(server.port());
    keyAndRelease();
    ASSERT_EQ(ui.logLines().size(), 1u);
    EXPECT_EQ(ui.logLines()[0],
              "PTT ON: the radio was not keyed: rigctld answered \"RPRT -1\" to \"T 1\"");
}

// rigctld restarted between two transmissions: the old connection is dead, a new one keys.
TEST_F(RigctldTest, ReconnectsAfterRestart) {
    auto firstConnectionKeys = std::make_shared<std::atomic<int>>(0);
    FakeRigctld server([firstConnectionKeys](const std::string& line, int connection) {
        // The first connection dies at its second key-up, as a restarted rigctld's would.
        if (connection == 1 && line == "T 1" && ++*firstConnectionKeys == 2) return std::string();
        return std::string("RPRT 0\n");
    });
    ASSERT_TRUE(server.ok());
    use(server.port());
    keyAndRelease();
    keyAndRelease();
    EXPECT_TRUE(ui.logLines().empty()) << ui.logLines().front();
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(server.lines(), (std::vector<std::string>{"T 1", "T 0", "T 1", "T 1", "T 0"}));
}

TEST_F(RigctldTest, SilentServerTimesOut) {
    FakeRigctld server([](const std::string&, int) { return std::string("partial"); });
    ASSERT_TRUE(server.ok());
    use(server.port());
    const auto start = std::chrono::steady_clock::now();
    key();
    const auto waited = std::chrono::steady_clock::now() - start;
    // Two attempts (the second on a fresh connection), each bounded.
    EXPECT_LT(waited, 3 * kRigctldTimeout);
    ASSERT_EQ(ui.logLines().size(), 1u);
    EXPECT_NE(ui.logLines()[0].find("did not answer"), std::string::npos) << ui.logLines()[0];
    radio.releaseNow();
}

// Debian's rigctld with its dummy rig; "t" reads back the rig's PTT state.
class RealRigctld {
public:
    RealRigctld() {
        const int fd = listenOnLoopback(m_port);
        if (fd < 0) return;
        ::close(fd);
        const std::string port = std::to_string(m_port);
        std::vector<std::string> args{"rigctld", "-m",        "1",  "-P", "RIG",
                                      "-T",      "127.0.0.1", "-t", port};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&m_pid, "rigctld", nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
    }
    ~RealRigctld() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    // Waits up to 5 s for rigctld to listen.
    bool ready() {
        if (m_pid <= 0) return false;
        for (int i = 0; i < 100; ++i) {
            if (m_query.connect("127.0.0.1", m_port)) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    std::uint16_t port() const { return m_port; }
    std::optional<std::string> ptt() { return m_query.transact("t"); }

private:
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
    TcpRigctldLink m_query;
};

bool rigctldInstalled() {
    return ::access("/usr/bin/rigctld", X_OK) == 0 || ::access("/usr/local/bin/rigctld", X_OK) == 0;
}

TEST_F(RigctldTest, KeysDebiansRigctldDummyRig) {
    if (!rigctldInstalled()) GTEST_SKIP() << "rigctld is not installed (package libhamlib-utils)";
    RealRigctld rig;
    ASSERT_TRUE(rig.ready());
    use(rig.port());
    EXPECT_EQ(rig.ptt(), "0");
    key();
    EXPECT_EQ(rig.ptt(), "1");
    radio.pttOff();
    EXPECT_EQ(rig.ptt(), "0");
    EXPECT_TRUE(ui.logLines().empty()) << ui.logLines().front();
    // A stuck key is released by the safety limit.
    key();
    EXPECT_EQ(rig.ptt(), "1");
    radio.onTimer(TimerId::PttSafety);
    EXPECT_EQ(rig.ptt(), "0");
}

}  // namespace
}  // namespace zolk::test
