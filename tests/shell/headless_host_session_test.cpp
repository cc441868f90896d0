#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "loopback.h"
#include "test_application.h"

namespace zolk {
namespace {

using namespace std::chrono_literals;
using test::HostClient;

// The real program, headless, driven by a host over loopback exactly as a host program would.
class HeadlessHostSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shell::test::ensureApplication(); }

    void TearDown() override {
        if (m_modem.state() != QProcess::NotRunning) {
            m_modem.kill();
            m_modem.waitForFinished(5000);
        }
    }

    // Starts zolksat on a fresh station folder whose settings name the given command port, and
    // waits until the CommandPort accepts a host.
    bool startModem(std::uint16_t port, HostClient& command) {
        std::ofstream(QDir(m_folder.path()).filePath("ZOLK SAT.ini").toStdString())
            << "[Setup]\nTCP Command Port=" << port << "\n";
        m_modem.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_modem.start(ZOLKSAT_PROGRAM, {"--headless", "--dir", m_folder.path()});
        if (!m_modem.waitForStarted(5000)) return false;
        return test::pumpUntil([&] { return command.connectTo(port); }, 15s);
    }

    QTemporaryDir m_folder;
    QProcess m_modem;
};

TEST_F(HeadlessHostSessionTest, ScriptedHostSessionGetsTheExpectedRepliesAndSigtermStopsIt) {
    ASSERT_TRUE(m_folder.isValid());
    const std::uint16_t port = test::freePortPair();
    ASSERT_NE(port, 0);
    HostClient command;
    ASSERT_TRUE(startModem(port, command));
    HostClient data;
    ASSERT_TRUE(data.connectTo(port + 1));

    const std::string script = "MYCALL EA5ABC K1T-7\rLISTEN ON\rLISTEN OFF\rGATEWAY OFF\rQRV?\r";
    const std::string expected = "OK\rOK\rOK\rOK\rWRONG\r";
    command.send(script);
    EXPECT_EQ(command.receive(expected.size()), expected);
    // Case does not matter; nothing else arrives unasked.
    command.send("gateway on\r");
    EXPECT_EQ(command.receive(3), "OK\r");
    EXPECT_EQ(command.receiveFor(300ms), "");

    // A second host on the occupied CommandPort is turned away.
    HostClient intruder;
    EXPECT_FALSE(intruder.connectTo(port) && !intruder.closedByPeer(1s));

    m_modem.terminate();  // SIGTERM
    ASSERT_TRUE(m_modem.waitForFinished(10000));
    EXPECT_EQ(m_modem.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_modem.exitCode(), 0);
    EXPECT_TRUE(command.closedByPeer(2s));
}

}  // namespace
}  // namespace zolk
