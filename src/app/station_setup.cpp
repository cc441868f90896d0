#include "app/station_setup.h"

#include <algorithm>
#include <cctype>

#include "app/station.h"
#include "app/station_radio.h"
#include "radio/hid_ptt_board.h"
#include "radio/radio_table.h"

namespace zolk {
namespace {

constexpr std::string_view kTitle = "ZOLK SAT";
constexpr std::string_view kCallPanel = "Indicativos";
constexpr std::int32_t kLowestHostPort = 1025;
constexpr std::int32_t kHighestHostPort = 65534;  // its DataPort is the last port there is
constexpr int kMaxRetriesShown = 5;
constexpr std::int32_t kHighestTcpPort = 65535;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.remove_suffix(1);
    return text;
}

bool isHexPair(std::string_view text) {
    return text.size() == 2 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return text;
}

}  // namespace

bool civAddressShown(PttVia via, int rig) {
    const RadioModel* model = radioModel(rig);
    return via == PttVia::Cat && model != nullptr && !model->civAddress.empty();
}

std::optional<std::int32_t> portNumber(std::string_view text) {
    text = trimmed(text);
    // More digits than any port has cannot be one (and must not overflow).
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int32_t value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

bool StationSetup::linkInProgress() const { return !m_station.sessionIdle(); }

void StationSetup::refuseDuringLink() { m_station.m_ports.ui.messageBox(kTitle, "Not while connection is in progress"); }

void StationSetup::invalid(std::string_view message) { m_station.m_ports.ui.messageBox(kTitle, message); }

std::vector<std::string> StationSetup::deviceChoices(AudioDirection direction) const {
    std::vector<std::string> names{""};
    for (std::string& name : m_station.m_ports.audio.deviceNames(direction)) {
        if (!name.empty()) names.push_back(std::move(name));
    }
    const std::string& stored = storedDevice(direction);
    if (std::find(names.begin(), names.end(), stored) == names.end()) names.push_back(stored);
    return names;
}

const std::string& StationSetup::storedDevice(AudioDirection direction) const {
    const Settings& settings = m_station.m_settings;
    return direction == AudioDirection::Capture ? settings.inputDeviceName : settings.outputDeviceName;
}

SetupOutcome StationSetup::chooseDevice(AudioDirection direction, const std::string& name) {
    if (!m_station.running() || name == storedDevice(direction)) return SetupOutcome::Unchanged;
    if (linkInProgress()) {
        refuseDuringLink();
        return SetupOutcome::Refused;
    }
    Settings& settings = m_station.m_settings;
    AudioEngine& audio = m_station.m_audio;
    if (direction == AudioDirection::Capture) {
        settings.inputDeviceName = name;
        audio.closeCapture();
        audio.openCapture(name);
    } else {
        settings.outputDeviceName = name;
        audio.closePlayback();
        audio.openPlayback(name);
    }
    m_station.saveSettings();
    return SetupOutcome::Stored;
}

void StationSetup::setDriveLevel(int driveDb) {
    m_station.m_settings.txDriveLevel = static_cast<std::int16_t>(std::clamp(driveDb, kMinDriveDb, kMaxDriveDb));
}

void StationSetup::pressTune() {
    if (!m_station.running()) return;
    if (m_tuning) {
        stopTune();
        return;
    }
    if (linkInProgress()) return;
    RadioControl& radio = m_station.m_radioControl;
    HostLinkPort& host = m_station.m_ports.hostLink;
    if (radio.pttExternal() && (!host.connected(HostSocket::Command) || !host.connected(HostSocket::Data))) {
        invalid("To use the TUNE button you have to link ZOLK with a host program");
        return;
    }
    m_station.m_radio->prepareTestTone();
    UiSink& ui = m_station.m_ports.ui;
    ui.clearWaterfall();
    radio.pttOn();
    m_tuning = true;
    ui.setPanelText(kCallPanel, "Test Tone");
    ui.setPanelIcon(kCallPanel, "Tune");
    ui.setPanelTip(kCallPanel, "");
}

void StationSetup::stopTune() {
    m_tuning = false;
    m_station.m_audio.selectGenerator(TxGenerator::SymbolFeeder);
    m_station.m_radioControl.pttOff();
    m_station.m_audio.flushPlayback();
    UiSink& ui = m_station.m_ports.ui;
    if (m_station.m_settings.monitorMode == 1) {
        ui.setPanelText(kCallPanel, "Monitor mode (RX only)");
        ui.setPanelIcon(kCallPanel, "Terminal");
        ui.setPanelTip(kCallPanel, "Monitor mode (RX only)");
    } else {
        ui.setPanelText(kCallPanel, "Disconnected");
        ui.setPanelIcon(kCallPanel, "");
        ui.setPanelTip(kCallPanel, "Modem Disconnected");
    }
}

StationSetup::BoardList StationSetup::boardList() {
    HidPttBoard& board = m_station.m_radioControl.board();
    BoardList list;
    list.count = board.countBoards();
    const int position = board.openBoardByPath(m_station.m_settings.uzBoardDevicePath);
    // A path that no board has leaves nothing open: then no entry is the stored one.
    if (board.isOpen()) list.selected = position;
    if (list.count == 1) list.selected = 1;
    return list;
}

SetupOutcome StationSetup::chooseBoard(int position) {
    if (!m_station.running()) return SetupOutcome::Unchanged;
    if (linkInProgress()) {
        refuseDuringLink();
        return SetupOutcome::Refused;
    }
    const std::string path = m_station.m_radioControl.board().openBoardByIndex(position);
    if (path.empty()) {
        invalid("UZ-Board device not found");
        return SetupOutcome::Invalid;
    }
    if (path == m_station.m_settings.uzBoardDevicePath) return SetupOutcome::Unchanged;
    m_station.m_settings.uzBoardDevicePath = path;
    m_station.applyRadioPort();
    m_station.saveSettings();
    return SetupOutcome::Stored;
}

void StationSetup::endTune() {
    if (m_tuning) stopTune();
}

void StationSetup::soundCardClosed() {
    endTune();
    if (!m_station.closing()) m_station.saveSettings();
}

int StationSetup::retriesShown() const {
    const int limit = m_station.m_settings.retryLimit;
    return limit >= 1 && limit <= kMaxRetriesShown ? limit : kMaxRetriesShown;
}

SetupOutcome StationSetup::applyHostPorts(std::string_view portText, int retries) {
    if (!m_station.running() || m_station.closing()) return SetupOutcome::Unchanged;
    if (linkInProgress()) {
        refuseDuringLink();
        return SetupOutcome::Refused;
    }
    const std::optional<std::int32_t> port = portNumber(portText);
    if (!port || *port < kLowestHostPort || *port > kHighestHostPort) {
        invalid("Invalid TCP port. BPQ Port should be >1024 and <65535");
        return SetupOutcome::Invalid;
    }
    if (retries < 1 || retries > kMaxRetriesShown) {
        invalid("The number of connection retries must be 1 to 5");
        return SetupOutcome::Invalid;
    }
    Settings& settings = m_station.m_settings;
    if (*port == settings.commandPortNumber && retries == settings.retryLimit) return SetupOutcome::Unchanged;
    if (*port != settings.commandPortNumber) {
        m_station.m_ports.hostLink.close(HostSocket::Command);
        m_station.m_ports.hostLink.close(HostSocket::Data);
        settings.commandPortNumber = *port;
    }
    settings.retryLimit = static_cast<std::uint8_t>(retries);
    m_station.resetSession();
    m_station.saveSettings();
    return SetupOutcome::Stored;
}

PttChoices StationSetup::pttChoices() const {
    const Settings& s = m_station.m_settings;
    PttChoices c;
    c.external = m_station.m_radioControl.pttExternal();
    c.via = static_cast<PttVia>(s.pttVia);
    c.rig = s.rig;
    c.catBaud = s.catBaud;
    c.pttPort = s.pttPort;
    c.catPort = s.catPort;
    c.pin = s.pttPin;
    c.catRts = s.catRts == 1;
    c.catDtr = s.catDtr == 1;
    c.icomAddress = s.icomAddress;
    c.boardIds = s.uzBoardIds;
    c.boardGpio = s.uzBoardGpio;
    c.rigctldHost = s.rigctldHost;
    c.rigctldPort = s.rigctldPort;
    return c;
}

SetupOutcome StationSetup::applyPtt(const PttChoices& chosen) {
    if (!m_station.running() || m_station.closing()) return SetupOutcome::Unchanged;
    PttChoices c = chosen;
    c.icomAddress = upper(std::string(trimmed(c.icomAddress)));
    if (radioModel(c.rig) == nullptr || c.pin < 1 || c.pin > 3 || c.boardGpio < 1 || c.boardGpio > 8) {
        invalid("The PTT settings are out of range");
        return SetupOutcome::Invalid;
    }
    if (civAddressShown(c.via, c.rig) && !isHexPair(c.icomAddress)) {
        invalid("wrong Icom Address format");
        return SetupOutcome::Invalid;
    }
    if (c.via == PttVia::HidBoard && !parseUsbIds(c.boardIds)) {
        invalid("UZ-Board IDs must be vendor:product pairs of hexadecimal numbers, such as 0D8C:013A,0D8C:0008");
        return SetupOutcome::Invalid;
    }
    if (c.via == PttVia::Rigctld &&
        (trimmed(c.rigctldHost).empty() || c.rigctldPort < 1 || c.rigctldPort > kHighestTcpPort)) {
        invalid("rigctld needs a host and a TCP port from 1 to 65535");
        return SetupOutcome::Invalid;
    }
    const PttChoices before = pttChoices();
    if (c == before) return SetupOutcome::Unchanged;
    if (linkInProgress()) {
        refuseDuringLink();
        return SetupOutcome::Refused;
    }
    Settings& s = m_station.m_settings;
    s.pttVia = static_cast<std::uint8_t>(c.via);
    s.rig = static_cast<std::uint8_t>(c.rig);
    s.catBaud = c.catBaud;
    s.pttPort = c.pttPort;
    s.catPort = c.catPort;
    s.pttPin = static_cast<std::uint8_t>(c.pin);
    s.catRts = c.catRts ? 1 : 0;
    s.catDtr = c.catDtr ? 1 : 0;
    s.icomAddress = c.icomAddress;
    s.uzBoardIds = c.boardIds;
    s.uzBoardGpio = static_cast<std::uint8_t>(c.boardGpio);
    s.rigctldHost = std::string(trimmed(c.rigctldHost));
    s.rigctldPort = c.rigctldPort;
    m_station.m_radioControl.setPttExternal(c.external);
    m_station.applyRadioPort();
    if (c.via == PttVia::HidBoard && before.via != PttVia::HidBoard) m_station.m_radioControl.openConfiguredBoard();
    m_station.saveSettings();
    return SetupOutcome::Stored;
}

}  // namespace zolk
