// The zolksat program as an operator or a service manager runs it: options, headless runs,
// stopping by signal, and one copy per station folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <map>

#include "test_application.h"

namespace {

using namespace std::chrono_literals;

const QString kAnotherCopy =
    "ZOLK SAT: Error: Another copy of ZOLK is running from this folder. "
    "Only one copy can be run at a time from the same folder";

// No display, so the program runs headless even without the option.
QProcessEnvironment headlessEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    return environment;
}

class Zolksat {
public:
    explicit Zolksat(QStringList arguments, QProcessEnvironment environment = headlessEnvironment()) {
        m_process.setProcessEnvironment(environment);
        m_process.start(ZOLKSAT_PROGRAM, arguments);
    }
    ~Zolksat() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Waits until standard error holds text; false on time-out or when the program ended first.
    bool waitForError(const QString& text, std::chrono::milliseconds timeout = 15s) {
        QElapsedTimer clock;
        clock.start();
        while (!collectedError().contains(text)) {
            if (clock.elapsed() > timeout.count() || m_process.state() == QProcess::NotRunning) return false;
            m_process.waitForReadyRead(50);
        }
        return true;
    }
    bool waitUntilRunning() { return waitForError("SIGINT or SIGTERM stops it"); }
    // Waits until standard output holds text (times the text appears, at least).
    bool waitForOutput(const QString& text, qsizetype times = 1, std::chrono::milliseconds timeout = 15s) {
        QElapsedTimer clock;
        clock.start();
        while (collectedOutput().count(text) < times) {
            if (clock.elapsed() > timeout.count() || m_process.state() == QProcess::NotRunning) return false;
            m_process.waitForReadyRead(50);
        }
        return true;
    }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }
    // Exit status after a normal end, or -1 when it did not end normally within the time-out.
    int finish(std::chrono::milliseconds timeout = 15s) {
        if (!m_process.waitForFinished(static_cast<int>(timeout.count()))) return -1;
        collectedError();
        collectedOutput();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    bool running() { return !m_process.waitForFinished(300) && m_process.state() == QProcess::Running; }
    const QString& out() const { return m_out; }
    const QString& err() const { return m_err; }

private:
    const QString& collectedOutput() {
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_out;
    }
    const QString& collectedError() {
        m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
        return m_err;
    }

    QProcess m_process;
    QString m_out;
    QString m_err;
};

class ZolksatProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() { zolk::shell::test::ensureApplication(); }
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString folder(const char* name = "station") const { return m_dir.filePath(name); }
    static QString settingsPath(const QString& station) { return QDir(station).filePath("ZOLK SAT.ini"); }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A command port P with P + 1 free as well, so the test's host ports stay clear of any other
    // modem on the machine.
    static quint16 freePortPair() {
        for (int attempt = 0; attempt < 50; ++attempt) {
            QTcpServer command;
            QTcpServer data;
            if (!command.listen(QHostAddress::LocalHost, 0)) continue;
            const quint16 port = command.serverPort();
            if (port < 65534 && data.listen(QHostAddress::LocalHost, port + 1)) return port;
        }
        return 0;
    }
    static void writeSettings(const QString& station, const QByteArray& extra = {}, quint16 port = freePortPair()) {
        QDir().mkpath(station);
        QFile file(settingsPath(station));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Setup]\nTCP Command Port=" + QByteArray::number(port) + "\n" + extra);
    }

    QTemporaryDir m_dir;
};

struct OneShotCase {
    const char* name;
    QStringList arguments;
    int status;
    std::vector<const char*> out;  // each must appear on standard output
    const char* err;               // must appear on standard error
};

TEST_F(ZolksatProgram, OneShotOptionsAnswerAndEnd) {
    const std::array cases{
        OneShotCase{"version", {"--version"}, 0, {"zolksat 3.1.3"}, ""},
        OneShotCase{"help", {"--help"}, 0, {"--dir DIR", "--headless", "--list-audio", "~/.config/zolksat"}, ""},
        OneShotCase{"device list", {"--list-audio"}, 0, {"Input devices:", "Output devices:", "system default"}, ""},
        OneShotCase{"unknown option", {"--frobnicate"}, 2, {}, "Unknown option 'frobnicate'"},
        OneShotCase{"stray argument", {"station2"}, 2, {}, "Unexpected argument: station2"},
    };
    for (const OneShotCase& c : cases) {
        SCOPED_TRACE(c.name);
        Zolksat program(c.arguments);
        ASSERT_EQ(program.finish(), c.status) << program.err().toStdString();
        for (const char* text : c.out) EXPECT_TRUE(program.out().contains(text)) << text << "\n" << program.out().toStdString();
        EXPECT_TRUE(program.err().contains(c.err)) << program.err().toStdString();
    }
}

TEST_F(ZolksatProgram, DeviceListHasBothDirectionsInOrder) {
    Zolksat program({"--list-audio"});
    ASSERT_EQ(program.finish(), 0);
    const qsizetype input = program.out().indexOf("Input devices:");
    const qsizetype output = program.out().indexOf("Output devices:");
    ASSERT_GE(input, 0);
    EXPECT_GT(output, input);
    // Every line between the headings is a device name or the note that there is none.
    const QStringList inputs = program.out().mid(input, output - input).split('\n', Qt::SkipEmptyParts).mid(1);
    for (const QString& line : inputs) EXPECT_TRUE(line.startsWith("  ")) << line.toStdString();
}

class StopSignal : public ZolksatProgram, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, HeadlessRunEndsInOrderAndSavesItsSettings) {
    // A first start in a folder that does not exist yet.
    const QString station = folder("new/station");
    {
        Zolksat program({"--headless", "--dir", station});
        ASSERT_TRUE(program.waitUntilRunning()) << program.err().toStdString();
        EXPECT_TRUE(program.out().isEmpty() || !program.out().contains("Error"));
        program.signal(GetParam());
        ASSERT_EQ(program.finish(), 0) << program.err().toStdString();
        EXPECT_TRUE(program.err().contains("Stopped; settings saved"));
        EXPECT_TRUE(program.out().contains("Caption: ZOLK SAT v3.1.3      ")) << program.out().toStdString();
        EXPECT_TRUE(program.out().contains("Panel Listen: LISTEN"));
    }
    const QByteArray first = read(settingsPath(station));
    EXPECT_TRUE(first.contains("[Soundcard]")) << first.toStdString();
    EXPECT_TRUE(first.contains("View=1"));

    // Values written by an operator survive a run: loaded at start, saved at the end.
    writeSettings(station, "View=3\nWaterFall=2\n[Log]\nLog Caption=Journal\n");
    Zolksat again({"--dir", station});  // no display: headless without being asked
    ASSERT_TRUE(again.waitUntilRunning()) << again.err().toStdString();
    EXPECT_TRUE(again.err().contains("No display found"));
    again.signal(GetParam());
    ASSERT_EQ(again.finish(), 0);
    const QByteArray saved = read(settingsPath(station));
    for (const char* line : {"View=3", "WaterFall=2", "Log Caption=Journal"})
        EXPECT_TRUE(saved.contains(line)) << line << "\n" << saved.toStdString();
}

INSTANTIATE_TEST_SUITE_P(SigtermAndSigint, StopSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == SIGTERM ? std::string("Sigterm") : std::string("Sigint");
                         });

TEST_F(ZolksatProgram, DisplayThatCannotBeOpenedFallsBackToHeadless) {
    QProcessEnvironment environment = headlessEnvironment();
    environment.insert("DISPLAY", ":987");  // no X server answers there
    writeSettings(folder());
    Zolksat program({"--dir", folder()}, environment);
    ASSERT_TRUE(program.waitUntilRunning()) << program.err().toStdString();
    EXPECT_TRUE(program.err().contains("Cannot open the display :987: running headless"));
    program.signal(SIGTERM);
    EXPECT_EQ(program.finish(), 0);
    EXPECT_TRUE(read(settingsPath(folder())).contains("[Setup]"));
}

TEST_F(ZolksatProgram, SecondCopyOnTheSameFolderIsRefusedAndTheFirstRunsOn) {
    const QString station = folder();
    writeSettings(station, "View=2\n");
    Zolksat first({"--headless", "--dir", station});
    ASSERT_TRUE(first.waitUntilRunning()) << first.err().toStdString();
    const QByteArray before = read(settingsPath(station));

    Zolksat second({"--headless", "--dir", station});
    const int status = second.finish();
    EXPECT_NE(status, 0);
    EXPECT_NE(status, -1) << "the second copy did not end by itself";
    EXPECT_TRUE(second.err().contains(kAnotherCopy)) << second.err().toStdString();
    EXPECT_FALSE(second.err().contains("stops it"));
    EXPECT_EQ(read(settingsPath(station)), before) << "the second copy touched the settings";

    // The same folder written the other way round is the same folder.
    Zolksat third({"--headless", "--dir", station + "/./"});
    EXPECT_GT(third.finish(), 0);
    EXPECT_TRUE(third.err().contains(kAnotherCopy));

    ASSERT_TRUE(first.running());
    first.signal(SIGTERM);
    ASSERT_EQ(first.finish(), 0) << first.err().toStdString();
    EXPECT_TRUE(first.err().contains("Stopped; settings saved"));
    EXPECT_TRUE(read(settingsPath(station)).contains("View=2"));
    EXPECT_TRUE(read(settingsPath(station)).contains("[Position]"));
}

TEST_F(ZolksatProgram, TwoFoldersRunSideBySide) {
    writeSettings(folder("one"));
    writeSettings(folder("two"));
    Zolksat one({"--headless", "--dir", folder("one")});
    Zolksat two({"--headless", "--dir", folder("two")});
    ASSERT_TRUE(one.waitUntilRunning()) << one.err().toStdString();
    ASSERT_TRUE(two.waitUntilRunning()) << two.err().toStdString();
    one.signal(SIGTERM);
    two.signal(SIGTERM);
    EXPECT_EQ(one.finish(), 0);
    EXPECT_EQ(two.finish(), 0);
}

TEST_F(ZolksatProgram, LockOfACopyThatDiedDoesNotBlockTheFolder) {
    const QString station = folder();
    writeSettings(station);
    {
        Zolksat crashed({"--headless", "--dir", station});
        ASSERT_TRUE(crashed.waitUntilRunning());
        crashed.signal(SIGKILL);
        EXPECT_EQ(crashed.finish(), -1);
    }
    Zolksat next({"--headless", "--dir", station});
    ASSERT_TRUE(next.waitUntilRunning()) << next.err().toStdString();
    next.signal(SIGTERM);
    EXPECT_EQ(next.finish(), 0);
}

TEST_F(ZolksatProgram, HostPortsTakeOneHostEachOnTheLocalMachine) {
    const QString station = folder();
    const quint16 port = freePortPair();
    ASSERT_NE(port, 0);
    writeSettings(station, {}, port);
    Zolksat program({"--headless", "--dir", station});
    ASSERT_TRUE(program.waitUntilRunning()) << program.err().toStdString();

    QTcpSocket command;
    QTcpSocket data;
    command.connectToHost(QHostAddress::LocalHost, port);
    data.connectToHost(QHostAddress::LocalHost, port + 1);
    ASSERT_TRUE(command.waitForConnected(5000));
    ASSERT_TRUE(data.waitForConnected(5000));
    EXPECT_TRUE(program.waitForOutput("Panel TCP icon: LedVerde")) << program.out().toStdString();

    // The port stopped listening when its host came: a second host is refused.
    QTcpSocket intruder;
    intruder.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(intruder.waitForConnected(2000));
    EXPECT_EQ(intruder.error(), QAbstractSocket::ConnectionRefusedError);

    command.write("LISTEN ON\r");
    QByteArray reply;
    while (!reply.endsWith('\r') && command.waitForReadyRead(5000)) reply += command.readAll();
    EXPECT_EQ(reply, "OK\r");

    // A host that leaves the data port: the port listens again and a host can come back.
    data.disconnectFromHost();
    EXPECT_TRUE(program.waitForOutput("Panel TCP icon: LedRojo")) << program.out().toStdString();
    // Listening is turned off after the port has been re-armed.
    EXPECT_TRUE(program.waitForOutput("Panel Listen tip: LISTEN OFF", 2)) << program.out().toStdString();
    QTcpSocket again;
    again.connectToHost(QHostAddress::LocalHost, port + 1);
    ASSERT_TRUE(again.waitForConnected(5000));
    EXPECT_TRUE(program.waitForOutput("Panel TCP icon: LedVerde", 2)) << program.out().toStdString();

    program.signal(SIGTERM);
    EXPECT_EQ(program.finish(), 0);
    // Shutdown closed both host connections.
    EXPECT_TRUE(command.state() == QAbstractSocket::UnconnectedState || command.waitForDisconnected(5000));
}

// A sound device that this machine has whether or not it has a sound card: an ALSA plugin device
// defined in the user's ALSA configuration, which PortAudio lists by its name.
class NamedSoundDevice : public ZolksatProgram {
protected:
    void SetUp() override {
        ZolksatProgram::SetUp();
        QFile alsa(m_dir.filePath(".asoundrc"));
        ASSERT_TRUE(alsa.open(QIODevice::WriteOnly));
        alsa.write("pcm.zolktest {\n    type null\n}\n");
        m_environment = headlessEnvironment();
        m_environment.insert("HOME", m_dir.path());
    }
    QProcessEnvironment m_environment;
};

TEST_F(NamedSoundDevice, IsListedAndOpenedByItsExactNameOnly) {
    Zolksat list({"--list-audio"}, m_environment);
    ASSERT_EQ(list.finish(), 0);
    const QString devices = list.out();
    if (!devices.contains("  zolktest\n")) GTEST_SKIP() << "PortAudio does not offer ALSA plugin devices here";
    EXPECT_EQ(devices.count("  zolktest\n"), 2) << "once as an input, once as an output";

    struct NameCase {
        const char* name;
        bool opens;
    };
    for (const NameCase& c : {NameCase{"zolktest", true}, NameCase{"ZOLKTEST", false}, NameCase{"zolktes", false},
                              NameCase{"zolktest2", false}}) {
        SCOPED_TRACE(c.name);
        const QString station = folder(c.name);
        writeSettings(station, QByteArray("[Soundcard]\nInput Device Name=") + c.name + "\nOutput Device Name=" + c.name + "\n");
        Zolksat program({"--headless", "--dir", station}, m_environment);
        ASSERT_TRUE(program.waitUntilRunning()) << program.err().toStdString();
        program.signal(SIGTERM);
        ASSERT_EQ(program.finish(), 0) << program.err().toStdString();
        EXPECT_EQ(program.err().contains("Audio input is closed"), !c.opens) << program.err().toStdString();
        EXPECT_EQ(program.err().contains("Audio output is closed"), !c.opens) << program.err().toStdString();
        // The device names are kept as they were given, right or wrong.
        EXPECT_TRUE(read(settingsPath(station)).contains(QByteArray("Input Device Name=") + c.name));
    }
}

TEST_F(ZolksatProgram, BadTablesFileEndsStartUpWithItsReason) {
    QFile garbage(folder("garbage.dat"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(1000, 'x'));
    garbage.close();
    struct TablesCase {
        const char* file;
        const char* reason;
    };
    for (const TablesCase& c : {TablesCase{"missing.dat", "ZOLK SAT: missing.dat file not found"},
                                TablesCase{"garbage.dat", "ZOLK SAT: garbage.dat file does not belong"}}) {
        SCOPED_TRACE(c.file);
        Zolksat program({"--headless", "--dir", folder(), "--tables", folder(c.file)});
        EXPECT_EQ(program.finish(), 1);
        EXPECT_TRUE(program.err().contains(c.reason)) << program.err().toStdString();
        EXPECT_FALSE(program.err().contains("stops it"));
    }
}

TEST_F(ZolksatProgram, StationFolderThatCannotBeMadeIsReported) {
    QFile blocker(folder("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Zolksat program({"--headless", "--dir", folder("plain-file")});
    EXPECT_EQ(program.finish(), 1);
    EXPECT_TRUE(program.err().contains("Cannot create the station folder")) << program.err().toStdString();
}

// The keys of a unit file's [Service] section.
std::map<QString, QString> serviceKeys(const QString& path) {
    std::map<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
    QTextStream in(&file);
    QString section;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            section = line;
        } else if (section == "[Service]") {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0) keys[line.left(equals)] = line.mid(equals + 1);
        }
    }
    return keys;
}

struct ServiceUnitCase {
    const char* unit;
    const char* home;
    const char* stationFolder;  // relative to the service's home; the user unit's instance names it
};

// systemd is not there to run the units in the test run: each unit's command line runs as the
// service manager would start it (no display, HOME set, the instance's folder for %f), and is
// stopped with the unit's stop signal.
TEST_F(ZolksatProgram, ServiceUnitsStartAHeadlessStationAndStopItInOrder) {
    const std::array cases{
        ServiceUnitCase{"dist/systemd/user/zolksat@.service", "user", "stations/ao73"},
        ServiceUnitCase{"dist/systemd/system/zolksat@.service", "account", ".config/zolksat"},
    };
    for (const ServiceUnitCase& c : cases) {
        SCOPED_TRACE(c.unit);
        const QString home = folder(c.home);
        const QString station = QDir(home).filePath(c.stationFolder);
        writeSettings(station);

        std::map<QString, QString> keys = serviceKeys(c.unit);
        EXPECT_EQ(keys["Restart"], "on-failure");
        EXPECT_EQ(keys["KillSignal"], "SIGTERM");
        EXPECT_EQ(keys["RestartPreventExitStatus"], "2");
        QStringList command = keys["ExecStart"].split(' ', Qt::SkipEmptyParts);
        ASSERT_GE(command.size(), 2);
        EXPECT_EQ(command.takeFirst(), "zolksat");
        EXPECT_TRUE(command.contains("--headless"));
        command.replaceInStrings("%f", station);

        QProcessEnvironment environment = headlessEnvironment();
        environment.insert("HOME", home);
        environment.remove("XDG_CONFIG_HOME");
        Zolksat program(command, environment);
        ASSERT_TRUE(program.waitUntilRunning()) << program.err().toStdString();
        EXPECT_TRUE(program.err().contains("running headless from " + station)) << program.err().toStdString();
        program.signal(SIGTERM);
        ASSERT_EQ(program.finish(), 0) << program.err().toStdString();
        EXPECT_TRUE(program.err().contains("Stopped; settings saved"));
        EXPECT_TRUE(read(settingsPath(station)).contains("[Soundcard]"));
    }
}

}  // namespace
