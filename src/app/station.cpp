#include "app/station.h"

#include <array>
#include <system_error>
#include <utility>

#include "app/gauge_scale.h"
#include "app/settings_file.h"
#include "app/station_radio.h"
#include "app/station_session.h"
#include "app/window_layout.h"
#include "host/status_lines.h"
#include "phy/common/call_sign.h"
#include "version.h"

namespace zolk {

Station::Station(StationPorts ports, std::filesystem::path stationFolder,
                 std::optional<std::filesystem::path> tablesFile)
    : m_ports(ports),
      m_folder(std::move(stationFolder)),
      m_tablesFile(locateTablesFile(tablesFile, executableDir())),
      m_radioControl(RadioPorts{ports.timers, ports.ui,
                                ports.radio != nullptr ? ports.radio->serial : m_noSerialPort,
                                ports.radio != nullptr ? ports.radio->hid : m_noHidDevices,
                                ports.radio != nullptr ? ports.radio->rigctld : m_noRigctld},
                     *this),
      m_log(m_folder / kSessionLogFileName),
      m_audio(ports.audio, [&ui = ports.ui](const std::string& line) { ui.logLine(line); }, m_keying),
      m_host(ports.hostLink, ports.ui, ports.timers,
             {m_settings.commandPortNumber, m_settings.tcpListenAll}, m_hostBridge.links()) {}

Station::~Station() {
    if (m_running) shutdown(std::nullopt);
}

std::filesystem::path Station::settingsFile() const { return m_folder / kSettingsFileName; }

// Later layers insert their steps where the comments stand, keeping this order.
bool Station::start() {
    if (m_running || !prepareFolder()) return false;
    m_settings = loadSettings(settingsFile());
    m_closing = false;
    // Gauges, radio table.
    setUpWindow();
    // The mode, CRC and Gray tables are built at compile time; the tables file ends start-up when
    // it is bad, before any device is opened.
    if (!loadTables()) return false;
    // The radio side needs the tables: its receive filters and turbo decoder are set up here, and
    // its front-end and generators are attached to the audio engine before a device can deliver a
    // block.
    m_radio = std::make_unique<StationRadio>(*this, m_ports.ui, m_ports.timers, m_ports.hostLink);
    m_session = std::make_unique<StationSession>(StationSessionParts{
        *m_radio, m_radioControl, m_host, m_ports.hostLink, m_ports.ui, m_log, m_settings});
    m_host.showListenState();
    openAudio();
    applyWaterfallMenu();
    m_log.onCaptionChanged([this](std::string_view caption) { setLogCaption(caption); });
    m_log.load();
    m_ports.ui.setCaption(kWindowCaption);
    m_ports.ui.moveWindow(m_settings.topPosition, m_settings.leftPosition);
    // The channel shows free; the busy detector watches from 2 s on.
    m_radio->busyChannel().start();
    // Until MYCALL the host keys the radio itself, and the PTT menu stays hidden.
    setPttMenuShown(false);
    m_radioControl.setPttExternal(true);
    applyRadioPort();
    resetSession();
    startAudioWatchdog();
    m_ports.timers.start(TimerId::LevelGauge, timerInterval(TimerId::LevelGauge));
    m_radioControl.openConfiguredBoard();
    m_running = true;
    return true;
}

void Station::shutdown(std::optional<WindowPosition> windowPosition) {
    if (!m_running) return;
    // The transmitter first, whatever else fails afterwards.
    m_radioControl.releaseNow();
    m_closing = true;
    m_audio.closePlayback();
    m_audio.closeCapture();
    m_session.reset();
    m_radio.reset();  // detached from the audio engine; start() builds it again
    // Every timer, the watchdog included, so that nothing reopens the sound card afterwards.
    for (std::size_t i = 0; i < kTimerCount; ++i) m_ports.timers.stop(static_cast<TimerId>(i));
    m_ports.hostLink.close(HostSocket::Command);
    m_ports.hostLink.close(HostSocket::Data);
    m_radioControl.closeRadioPort();
    m_log.flushIfChanged();
    if (windowPosition) {
        m_settings.topPosition = windowPosition->topTwips;
        m_settings.leftPosition = windowPosition->leftTwips;
    }
    saveSettings();
    m_running = false;
}

bool Station::prepareFolder() {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (error || !std::filesystem::is_directory(m_folder, error)) {
        m_ports.ui.messageBox("ZOLK SAT", "Cannot use the station folder " + m_folder.string() + ": " +
                                              (error ? error.message() : std::string("not a folder")));
        return false;
    }
    return true;
}

bool Station::loadTables() {
    TablesFileLoad load = loadTablesFile(m_tablesFile);
    if (load.error != TablesFileError::None) {
        m_ports.ui.messageBox("ZOLK SAT", load.message);
        return false;
    }
    m_tables = std::move(load.tables);
    m_drawnTables.emplace(m_random);
    return true;
}

void Station::setUpWindow() {
    m_ports.ui.setMenuCaption(MenuItem::Log, m_settings.logCaption);
    applyView();
    for (const auto& panel : kStatusPanels) m_ports.ui.setPanelText(panel.key, panel.initialText);
    applyMonitorMenu();
}

void Station::openAudio() {
    m_audio.openPlayback(m_settings.outputDeviceName);
    m_audio.openCapture(m_settings.inputDeviceName);
}

void Station::startAudioWatchdog() {
    m_ports.timers.stop(TimerId::AudioWatchdog);
    m_ports.timers.start(TimerId::AudioWatchdog, timerInterval(TimerId::AudioWatchdog));
}

bool Station::saveSettings() {
    const bool saved = zolk::saveSettings(m_settings, m_pttMenuShown, settingsFile());
    if (!saved) m_ports.ui.logLine("The settings could not be written to " + settingsFile().string());
    return saved;
}

void Station::setPttMenuShown(bool shown) {
    m_pttMenuShown = shown;
    m_ports.ui.setMenuVisible(MenuItem::Ptt, shown);
}

void Station::onCaptureBlock(std::span<const std::int16_t> interleavedStereo) {
    if (m_running) m_audio.onCaptureBlock(interleavedStereo);
}

void Station::onPlaybackRequest(std::span<std::int16_t> interleavedStereo) {
    if (m_running) {
        m_audio.onPlaybackRequest(interleavedStereo);
    } else {
        std::fill(interleavedStereo.begin(), interleavedStereo.end(), std::int16_t{0});
    }
}

void Station::onAudioDeviceFailed(AudioDirection direction) {
    if (m_running) m_audio.onDeviceFailed(direction);
}

void Station::onTimer(TimerId id) {
    if (!m_running) return;
    switch (id) {
    case TimerId::AudioWatchdog:
        m_audio.watchdogTick(sessionIdle());
        break;
    case TimerId::DeliverData:
        m_host.onDeliverData();
        break;
    case TimerId::KeyPtt:
    case TimerId::PttSafety:
        m_radioControl.onTimer(id);
        break;
    case TimerId::BusyOff:
        m_radio->busyChannel().onTimer();
        break;
    case TimerId::LevelGauge:
        measureInputLevel();
        break;
    case TimerId::DelayPtt:
    case TimerId::LinkTimeout:
        // One-shot: each start runs its deferred action once.
        m_ports.timers.stop(id);
        break;
    case TimerId::ClearConstellation:
        clearConstellation();
        break;
    case TimerId::CpuGauge:
        // The shell's own gauge.
        break;
    case TimerId::UpdateCheck:
    case TimerId::UpdateRefresh:
        // The update check is left out; these timers are never started.
        break;
    }
}

void Station::onHostConnected(HostSocket socket) {
    if (m_running) m_host.onHostConnected(socket);
}

// A host that is gone cannot stop a transmission: the transmitter is released first.
void Station::onHostClosed(HostSocket socket) {
    if (!m_running) return;
    m_radioControl.releaseNow();
    m_host.onHostClosed(socket);
}

void Station::onHostError(HostSocket socket) {
    if (!m_running) return;
    m_radioControl.releaseNow();
    m_host.onHostError(socket);
}

void Station::onHostBytes(HostSocket socket, std::span<const std::uint8_t> bytes) {
    if (m_running) m_host.onHostBytes(socket, bytes);
}

void Station::onMenu(MenuItem item) {
    if (!m_running) return;
    switch (item) {
    case MenuItem::WaterfallOn:
    case MenuItem::WaterfallOff:
    case MenuItem::WaterfallAuto:
        m_settings.waterfallMode = item == MenuItem::WaterfallOn    ? 1
                                   : item == MenuItem::WaterfallOff ? 0
                                                                    : 2;
        applyWaterfallMenu();
        saveSettings();
        break;
    case MenuItem::ViewAll:
    case MenuItem::ViewWaterfall:
    case MenuItem::ViewGauges:
        m_settings.viewMode = item == MenuItem::ViewAll         ? 1
                              : item == MenuItem::ViewWaterfall ? 2
                                                                : 3;
        applyView();
        saveSettings();
        break;
    case MenuItem::MonitorOn:
    case MenuItem::MonitorOff:
        m_settings.monitorMode = item == MenuItem::MonitorOn ? 1 : 0;
        saveSettings();
        resetSession();
        applyMonitorMenu();
        break;
    case MenuItem::MonitorClear:
        m_ports.ui.clearMonitor();
        break;
    default:
        break;
    }
}

void Station::applyView() {
    const auto layout = viewLayout(m_settings.viewMode, 0);
    for (const auto item : {MenuItem::ViewAll, MenuItem::ViewWaterfall, MenuItem::ViewGauges}) {
        m_ports.ui.setMenuChecked(item, item == layout.checkedItem);
    }
    m_ports.ui.applyView(m_settings.viewMode);
}

void Station::applyWaterfallMenu() {
    const auto mode = m_settings.waterfallMode;
    m_ports.ui.setMenuChecked(MenuItem::WaterfallOn, mode == 1);
    m_ports.ui.setMenuChecked(MenuItem::WaterfallOff, mode == 0);
    m_ports.ui.setMenuChecked(MenuItem::WaterfallAuto, mode == 2);
    if (mode == 0 || (mode == 2 && sessionIdle())) m_ports.ui.clearWaterfall();
}

void Station::applyMonitorMenu() {
    m_ports.ui.setMenuChecked(MenuItem::MonitorOn, m_settings.monitorMode == 1);
    m_ports.ui.setMenuChecked(MenuItem::MonitorOff, m_settings.monitorMode != 1);
}

void Station::measureInputLevel() {
    m_inputLevelDb = captureLevelDb(m_audio.capturePeak());
    m_audio.resetCapturePeak();
    if (m_windowShown && !transmitActive()) m_ports.ui.showLevel(m_inputLevelDb);
}

void Station::clearConstellation() {
    m_ports.timers.stop(TimerId::ClearConstellation);
    m_ports.ui.clearConstellation();
    m_ports.ui.clearGauge(Gauge::Snr);
    m_ports.ui.clearGauge(Gauge::Level);
    // During a link the panel shows the session's own speed; a monitored frame's rate goes with it.
    if (m_settings.monitorMode == 1) {
        m_ports.ui.setPanelText("Baud", "");
        m_ports.ui.setPanelTip("Baud", "");
    }
}

bool Station::sessionIdle() const { return m_session == nullptr || !m_session->arq().inProgress(); }

void Station::takeOverPtt() {
    setPttMenuShown(true);
    m_radioControl.setPttExternal(false);
}

void Station::applyRadioPort() {
    RadioSettings radio;
    radio.via = static_cast<PttVia>(m_settings.pttVia);
    radio.rig = m_settings.rig;
    radio.pttPort = m_settings.pttPort;
    radio.catPort = m_settings.catPort;
    radio.catBaud = m_settings.catBaud;
    radio.pin = m_settings.pttPin;
    radio.catRts = m_settings.catRts == 1;
    radio.catDtr = m_settings.catDtr == 1;
    radio.icomAddress = m_settings.icomAddress;
    radio.boardPath = m_settings.uzBoardDevicePath;
    if (const auto ids = parseUsbIds(m_settings.uzBoardIds)) {
        radio.boardIds = *ids;
    } else {
        m_ports.ui.logLine("UZ-Board IDs \"" + m_settings.uzBoardIds +
                           "\" is not a list of vendor:product pairs; the default boards are used");
    }
    radio.boardGpio = m_settings.uzBoardGpio;
    radio.rigctldHost = m_settings.rigctldHost;
    radio.rigctldPort = static_cast<std::uint16_t>(m_settings.rigctldPort);
    m_radioControl.configure(radio);
    m_radioControl.openRadioPort();
}

void Station::reportPtt(bool on) { sendPtt(m_ports.hostLink, on); }

bool Station::sessionDisconnecting() const {
    return m_session != nullptr && m_session->arq().state() == SessionState::Disconnecting;
}

void Station::storeBoardPath(const std::string& path) {
    m_settings.uzBoardDevicePath = path;
    saveSettings();
}

// The sound card dialog, where the operator picks the board, belongs to the shell; the message
// box before this call has told the operator to pick one.
void Station::chooseBoard() {}

void Station::setLogCaption(std::string_view caption) {
    m_settings.logCaption = std::string(caption);
    m_ports.ui.setMenuCaption(MenuItem::Log, caption);
    saveSettings();
}

std::optional<std::filesystem::path> Station::openLog() {
    setLogCaption("Log");
    std::error_code error;
    if (std::filesystem::exists(m_log.file(), error)) return m_log.file();
    m_ports.ui.messageBox("ZOLK SAT", "Empty Log");
    return std::nullopt;
}

bool Station::storeCalibrationTarget(std::string_view target) {
    if (target.empty() || !callSignValid(target)) {
        m_ports.ui.messageBox("ZOLK SAT", "Invalid Call Sign");
        return false;
    }
    m_settings.calibrationTarget = upperAscii(target);
    saveSettings();
    return true;
}

bool Station::startPing(PingKind kind) {
    if (!m_running) return false;
    if (!m_radio->busyChannel().channelFree()) {
        m_ports.ui.messageBox("ZOLK SAT", "Busy channel");
        return false;
    }
    if (m_settings.monitorMode == 1) onMenu(MenuItem::MonitorOff);
    return m_session->arq().startPing(kind, callSeed(m_settings.calibrationTarget));
}

void Station::resetSession() {
    m_host.armListeners();
    m_radio->applyMonitorMode();
    m_session->arq().reset();
}

}  // namespace zolk
