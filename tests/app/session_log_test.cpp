#include "app/session_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "support/scratch_dir.h"

namespace zolk {
namespace {

using namespace std::chrono_literals;

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SessionLogTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return m_folder / "ZOLKSAT.log"; }
    SessionLog makeLog() {
        SessionLog log(file(), [this] { return m_now; });
        log.onCaptionChanged(
            [this](std::string_view caption) { m_captions.emplace_back(caption); });
        return log;
    }
    std::string stamp() const { return formatLogTime(m_now); }

    test::ScratchDir m_scratch;
    const std::filesystem::path& m_folder = m_scratch.path();
    std::chrono::system_clock::time_point m_now =
        std::chrono::system_clock::from_time_t(1765000000);
    std::vector<std::string> m_captions;
};

TEST(SessionLogFormat, LinkDuration) {
    struct Case {
        std::chrono::seconds duration;
        const char* text;
    };
    const std::vector<Case> cases{
        {0s, "00:00"},
        {7s, "00:07"},
        {65s, "01:05"},
        {125min + 7s, "125:07"},
        // Past a 16-bit count of seconds.
        {40000s, "666:40"},
        {std::chrono::seconds{24 * 3600 * 3}, "4320:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatLinkDuration(c.duration), c.text) << c.duration.count();
}

TEST_F(SessionLogTest, EventLines) {
    struct Case {
        std::function<void(SessionLog&)> event;
        std::string text;  // after the date, time and four blanks
        bool emptyLineAfter;
        bool flushes;
    };
    const std::vector<Case> cases{
        {[](SessionLog& l) { l.connecting("EA1ABC", 3, 10); }, "Connecting to EA1ABC... 3/10",
         false, false},
        {[](SessionLog& l) { l.incomingConnection(); }, "Incoming connection...", false, false},
        {[](SessionLog& l) { l.incomingFailed(); }, "Incoming Connection failed", true, true},
        {[](SessionLog& l) { l.connectedIncoming("EA1ABC-7"); }, "EA1ABC-7 connected", false,
         false},
        {[](SessionLog& l) { l.connectedOutgoing("EA1ABC"); }, "Connected to EA1ABC", false, false},
        {[](SessionLog& l) { l.qrtReceived(); }, "QRT Received", false, false},
        {[](SessionLog& l) { l.tuningRequest(1); }, "Rough Tuning request", false, true},
        {[](SessionLog& l) { l.tuningRequest(2); }, "Fine Tuning request", false, true},
        {[](SessionLog& l) { l.hostPortFailure("8300 TCP Port Closed unexpectedly"); },
         "8300 TCP Port Closed unexpectedly", false, false},
        {[](SessionLog& l) { l.hostPortFailure("8301TCP Port Error"); }, "8301TCP Port Error",
         false, false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(file());
        m_captions.clear();
        SessionLog log = makeLog();
        log.load();
        c.event(log);
        const std::string expected =
            stamp() + "    " + c.text + "\r\n" + (c.emptyLineAfter ? "\r\n" : "");
        EXPECT_EQ(log.text(), expected) << c.text;
        // Every line is on disk at once; the file is the text and one more line end.
        EXPECT_EQ(readFile(file()), expected + "\r\n") << c.text;
        EXPECT_EQ(m_captions,
                  c.flushes ? std::vector<std::string>{"Log*"} : std::vector<std::string>{})
            << c.text;
    }
}

TEST_F(SessionLogTest, OtherTuningKindsFlushWithoutALine) {
    SessionLog log = makeLog();
    log.tuningRequest(3);
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(m_captions, std::vector<std::string>{"Log*"});
}

TEST_F(SessionLogTest, SummaryLine) {
    struct Case {
        LinkSummary summary;
        std::chrono::seconds length;
        std::string text;
    };
    const std::vector<Case> cases{
        {{false, 1234, 2400, 56789, 6920},
         125min + 7s,
         "Disconnected      TX: 1234 Bytes (Max: 2400 bps)   RX: 56789 Bytes (Max: 6920 bps)   "
         "Session Time: 125:07"},
        {{true, 0, 0, 0, 0},
         30s,
         "Disconnected (Time Out)      TX: 0 Bytes (Max: 0 bps)   RX: 0 Bytes (Max: 0 bps)   "
         "Session Time: 00:30"},
        // A satellite pass is short, but a terrestrial link can run for many hours.
        {{false, 5000000000, 41, 7, 41},
         40000s,
         "Disconnected      TX: 5000000000 Bytes (Max: 41 bps)   RX: 7 Bytes (Max: 41 bps)   "
         "Session Time: 666:40"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(file());
        SessionLog log = makeLog();
        log.connectedOutgoing("EA1ABC");
        const std::string connected = stamp() + "    Connected to EA1ABC\r\n";
        m_now += c.length;
        log.disconnected(c.summary);
        EXPECT_EQ(log.text(), connected + stamp() + "    " + c.text + "\r\n\r\n");
        EXPECT_EQ(readFile(file()), log.text() + "\r\n");
        m_now -= c.length;
    }
}

TEST_F(SessionLogTest, ConnectAttemptOneStartsTheClock) {
    SessionLog log = makeLog();
    log.connecting("EA1ABC", 1, 10);
    m_now += 20s;
    log.connecting("EA1ABC", 2, 10);  // later attempts leave the start alone
    m_now += 100s;
    log.disconnected({});
    EXPECT_NE(log.text().find("Session Time: 02:00"), std::string::npos) << log.text();
}

TEST_F(SessionLogTest, FlushKeepsTheNewest25000Characters) {
    struct Case {
        std::size_t stored;
        std::size_t kept;
    };
    for (const Case c : {Case{30000, 25000}, Case{25000, 25000}, Case{100, 100}}) {
        // A stored file of c.stored characters without line ends: the cut falls inside a line.
        std::string stored;
        for (std::size_t i = 0; i < c.stored; ++i) stored += static_cast<char>('a' + i % 26);
        {
            std::ofstream out(file(), std::ios::binary | std::ios::trunc);
            out << stored << "\r\n";
        }
        SessionLog log = makeLog();
        log.load();
        ASSERT_EQ(log.text(), stored);
        log.flush();
        EXPECT_EQ(log.text(), stored.substr(c.stored - c.kept)) << c.stored;
        EXPECT_EQ(readFile(file()), log.text() + "\r\n") << c.stored;
    }
}

TEST_F(SessionLogTest, LoadReadsLinesAndDropsTheLastLineEnd) {
    {
        std::ofstream out(file(), std::ios::binary);
        out << "one\r\ntwo\nthree\r\n\r\n";
    }
    SessionLog log = makeLog();
    log.load();
    EXPECT_EQ(log.text(), "one\r\ntwo\r\nthree\r\n");
    // A load and a flush leave the file as it was written by a flush.
    log.flush();
    EXPECT_EQ(readFile(file()), "one\r\ntwo\r\nthree\r\n\r\n");
}

TEST_F(SessionLogTest, MissingFileStartsEmptyAndTheFirstEventCreatesIt) {
    SessionLog log = makeLog();
    log.load();
    EXPECT_EQ(log.text(), "");
    EXPECT_FALSE(std::filesystem::exists(file()));
    log.incomingConnection();
    EXPECT_TRUE(std::filesystem::exists(file()));
}

// Lines without a flushing event survive the end of the program, crash or not: a new log object
// (the next start) finds them.
TEST_F(SessionLogTest, LinesSurviveWithoutAFlush) {
    {
        SessionLog log = makeLog();
        log.load();
        log.tuningRequest(1);
        log.connecting("EA1ABC", 1, 10);
        log.connectedOutgoing("EA1ABC");
    }
    SessionLog next = makeLog();
    next.load();
    const std::string s = stamp() + "    ";
    EXPECT_EQ(next.text(), s + "Rough Tuning request\r\n" + s + "Connecting to EA1ABC... 1/10\r\n" +
                               s + "Connected to EA1ABC\r\n");
}

// Shutdown flushes only a log that has lines since its last flush.
TEST_F(SessionLogTest, ShutdownFlushOnlyAfterNewLines) {
    SessionLog log = makeLog();
    log.flushIfChanged();
    EXPECT_TRUE(m_captions.empty());
    EXPECT_FALSE(std::filesystem::exists(file()));
    log.connecting("EA1ABC", 1, 10);
    log.flushIfChanged();
    EXPECT_EQ(m_captions, std::vector<std::string>{"Log*"});
    log.flushIfChanged();
    EXPECT_EQ(m_captions.size(), 1u);
}

TEST_F(SessionLogTest, EchoesLinesToAStream) {
    std::FILE* echo = std::tmpfile();
    ASSERT_NE(echo, nullptr);
    SessionLog log = makeLog();
    log.echoTo(echo);
    log.qrtReceived();
    log.incomingFailed();
    std::rewind(echo);
    char buffer[256] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, echo);
    std::fclose(echo);
    EXPECT_EQ(std::string(buffer, n),
              stamp() + "    QRT Received\n" + stamp() + "    Incoming Connection failed\n");
}

// Debug lines go to a file of their own and the echo, never into the history; off by default.
TEST_F(SessionLogTest, DebugLinesGoToTheirOwnFileOnlyWhileSwitchedOn) {
    std::FILE* echo = std::tmpfile();
    ASSERT_NE(echo, nullptr);
    const std::filesystem::path debugFile = m_folder / "ZOLKSAT-debug.log";
    SessionLog log = makeLog();
    log.echoTo(echo);
    log.debug("[1] Disconnected: not recorded");
    EXPECT_FALSE(log.debugging());
    EXPECT_FALSE(std::filesystem::exists(debugFile));
    ASSERT_TRUE(log.setDebug(true));
    log.debug("[2] Calling: sends Call1");
    log.qrtReceived();
    ASSERT_TRUE(log.setDebug(false));
    log.debug("[3] Disconnected: not recorded either");
    EXPECT_EQ(readFile(debugFile), stamp() + "    [2] Calling: sends Call1\r\n");
    EXPECT_EQ(log.text(), stamp() + "    QRT Received\r\n");
    std::rewind(echo);
    char buffer[256] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, echo);
    std::fclose(echo);
    EXPECT_EQ(std::string(buffer, n), stamp() + "    [2] Calling: sends Call1\n" + stamp() + "    QRT Received\n");
    // A second session appends.
    SessionLog next = makeLog();
    ASSERT_TRUE(next.setDebug(true));
    next.debug("[4] Calling: sends Call1");
    EXPECT_EQ(readFile(debugFile),
              stamp() + "    [2] Calling: sends Call1\r\n" + stamp() + "    [4] Calling: sends Call1\r\n");
}

TEST_F(SessionLogTest, DebugLevelThatCannotOpenItsFileStaysOff) {
    SessionLog log(m_folder / "missing" / "ZOLKSAT.log");
    EXPECT_FALSE(log.setDebug(true));
    EXPECT_FALSE(log.debugging());
}

}  // namespace
}  // namespace zolk
