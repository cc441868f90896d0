#include "shell/shell_run.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/session_log.h"
#include "app/station.h"
#include "radio/posix/hidapi_devices.h"
#include "radio/posix/tcp_rigctld_link.h"
#include "radio/posix/termios_serial_port.h"
#include "shell/console_ui_sink.h"
#include "shell/display_probe.h"
#include "shell/instance_lock.h"
#include "shell/main_window.h"
#include "shell/portaudio_device.h"
#include "shell/qt_host_link.h"
#include "shell/qt_timer_port.h"
#include "shell/fatal_release.h"
#include "shell/signal_watcher.h"
#include "version.h"

namespace zolk::shell {
namespace {

// All of the modem's signal processing runs on the main thread: it asks for more of the processor
// than other programs, as the audio threads opened after it inherit. An ordinary user may not,
// which is the usual case: said once, and the station runs on.
void raisePriority(UiSink& ui) {
    constexpr int kHighNice = -10;
    if (::setpriority(PRIO_PROCESS, 0, kHighNice) != 0)
        ui.logLine("The process priority cannot be raised (" + std::string(std::strerror(errno)) +
                   "); running at normal priority");
}

constexpr const char* kTitle = "ZOLK SAT";

std::unique_ptr<QCoreApplication> makeApplication(bool headless, int& argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
    if (headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        app = std::make_unique<QApplication>(argc, argv);
        // The installed desktop entry and icon (zolksat.desktop, zolksat.svg) name the window.
        QGuiApplication::setDesktopFileName("zolksat");
        QApplication::setWindowIcon(QIcon::fromTheme("zolksat"));
    }
    QCoreApplication::setApplicationName("zolksat");
    QCoreApplication::setApplicationVersion(
        QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())));
    return app;
}

// A refusal before the station exists: a box on the desktop, a line on stderr when headless.
void showRefusal(bool headless, const QString& message) {
    if (headless) {
        printTimedLine(stderr, QString("%1: %2").arg(kTitle, message).toStdString());
    } else {
        QMessageBox::warning(nullptr, kTitle, message);
    }
}

}  // namespace

int runStation(const ShellOptions& requested, int& argc, char** argv) {
    // An X display that cannot be opened (a stale DISPLAY in a remote shell) would end the
    // program inside Qt; the station runs headless instead and says why.
    ShellOptions options = requested;
    const QByteArray display = qgetenv("DISPLAY");
    const bool displayFails =
        !options.headless && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !x11DisplayOpens(display);
    if (displayFails) options.headless = true;
    const std::unique_ptr<QCoreApplication> app = makeApplication(options.headless, argc, argv);
    // Watching from the start. A stop request while a message box waits (a refusal, or a message
    // during start-up) leaves the box, and the program ends as soon as start-up is through; once
    // the station runs, the window closes (or the loop ends) and the station shuts down in order.
    SignalWatcher stopSignals;
    bool stopRequested = false;
    Station* runningStation = nullptr;
    MainWindow* runningWindow = nullptr;
    QObject::connect(&stopSignals, &SignalWatcher::stopRequested, app.get(), [&] {
        stopRequested = true;
        if (runningStation != nullptr && runningStation->running() && runningWindow != nullptr)
            runningWindow->close();
        else
            QCoreApplication::exit(0);
    });
    const QString folder = QDir(options.stationFolder).absolutePath();
    if (!QDir().mkpath(folder)) {
        showRefusal(options.headless, "Error: Cannot create the station folder " + folder);
        return 1;
    }
    InstanceLock lock(folder);
    if (!lock.acquire()) {
        showRefusal(options.headless, lock.error());
        return 1;
    }

    // The UI sink and the ports outlive the station, which may still use them while it ends.
    std::unique_ptr<ConsoleUiSink> console;
    std::unique_ptr<MainWindow> window;
    UiSink* ui = nullptr;
    if (options.headless) {
        console = std::make_unique<ConsoleUiSink>();
        ui = console.get();
        if (options.noDisplay) ui->logLine("No display found (DISPLAY and WAYLAND_DISPLAY are unset): running headless");
        if (displayFails) ui->logLine("Cannot open the display " + display.toStdString() + ": running headless");
    } else {
        window = std::make_unique<MainWindow>();
        ui = window.get();
    }
    raisePriority(*ui);
    QtTimerPort timers;
    QtHostLink hostLink;
    hostLink.openToNetwork(options.listenAny);
    PortAudioDevice audio;
    if (!audio.initError().empty()) ui->logLine("The sound system cannot start: " + audio.initError());

    std::optional<std::filesystem::path> tablesFile;
    if (!options.tablesFile.isEmpty()) tablesFile = options.tablesFile.toStdString();
    TermiosSerialPort serialPort;
    HidapiDevices hidDevices;
    TcpRigctldLink rigctld;
    RadioDevices radioDevices{serialPort, hidDevices, rigctld};
    Station station({timers, hostLink, audio, *ui, &radioDevices}, folder.toStdString(), tablesFile);
    // Each line of the session log also goes to standard error when there is no window.
    if (options.headless) station.sessionLog().echoTo(stderr);
    if (options.debugLog && !station.sessionLog().setDebug(true))
        ui->logLine("Cannot write " + (folder.toStdString() + "/" + std::string(kSessionDebugFileName)) +
                    ": the debug log stays off");
    releaseOnFatalError(&station.radioControl());
    timers.attach(&station);
    hostLink.attach(&station);
    audio.attach(&station);
    if (window != nullptr) window->attach(&station);

    runningStation = &station;
    runningWindow = window.get();

    // A message that ends start-up must be read before the program ends.
    if (window != nullptr) window->setMessagesWait(true);
    if (!station.start()) {
        releaseOnFatalError(nullptr);
        return 1;
    }
    if (window != nullptr) {
        window->setMessagesWait(false);
        ui->logLine(("Station folder " + folder).toStdString());
        window->show();
    } else {
        ui->logLine(("ZOLK SAT " + QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())) + " running headless from " + folder +
                     "; SIGINT or SIGTERM stops it").toStdString());
    }
    const int status = stopRequested ? 0 : app->exec();
    if (station.running()) station.shutdown(std::nullopt);
    releaseOnFatalError(nullptr);
    if (options.headless) ui->logLine("Stopped; settings saved");
    return status;
}

int runListAudio(int& argc, char** argv) {
    const QCoreApplication app(argc, argv);
    const PortAudioDevice audio;
    if (!audio.initError().empty()) {
        std::fprintf(stderr, "The sound system cannot start: %s\n", audio.initError().c_str());
        return 1;
    }
    for (const auto& [direction, heading] : {std::pair{AudioDirection::Capture, "Input devices:"},
                                             std::pair{AudioDirection::Playback, "Output devices:"}}) {
        std::printf("%s\n", heading);
        const std::vector<std::string> names = audio.deviceNames(direction);
        if (names.empty()) std::printf("  (none)\n");
        for (const std::string& name : names) std::printf("  %s\n", name.c_str());
    }
    std::printf("An empty device name in the settings means the system default device.\n");
    return 0;
}

}  // namespace zolk::shell
