#include "radio/radio_control.h"

#include <string_view>

namespace zolk {

namespace {

constexpr std::string_view kPttPanel = "PTT";

}  // namespace

RadioControl::RadioControl(RadioPorts ports, RadioControlHost& host)
    : m_ports(ports), m_host(host), m_board(ports.hid) {}

void RadioControl::configure(const RadioSettings& settings) {
    m_settings = settings;
    m_board.configure(settings.boardIds, settings.boardGpio);
}

void RadioControl::openRadioPort() { openPort(true); }

bool RadioControl::openPort(bool showFailure) {
    if (m_pttExternal || (m_settings.via != PttVia::Cat && m_settings.via != PttVia::SerialLines)) {
        closeRadioPort();
        return false;
    }
    PortState wanted;
    if (m_settings.via == PttVia::Cat) {
        const RadioModel* model = radioModel(m_settings.rig);
        if (model == nullptr) model = radioModel(kDefaultRig);
        wanted.device = serialDevicePath(m_settings.catPort);
        wanted.settingsText = catPortSettings(*model, m_settings.catBaud);
        wanted.rts = m_settings.catRts;
        wanted.dtr = m_settings.catDtr;
    } else {
        wanted.device = serialDevicePath(m_settings.pttPort);
        wanted.settingsText = "4800,n,8,2";
    }
    if (m_portState == wanted && m_ports.serial.isOpen()) return true;
    if (m_ports.serial.isOpen()) closeRadioPort();
    const auto lineSettings = parseSerialSettings(wanted.settingsText);
    if (!lineSettings ||
        !m_ports.serial.open(wanted.device, *lineSettings, wanted.rts, wanted.dtr)) {
        if (showFailure) {
            m_ports.ui.messageBox("ZOLK SAT", "Unable to open radio serial port " + wanted.device +
                                                  ". May be in use by another application.");
        }
        m_failedDevice = wanted.device;
        return false;
    }
    m_portState = wanted;
    m_failedDevice.clear();
    return true;
}

void RadioControl::closeRadioPort() {
    if (m_ports.serial.isOpen()) {
        m_ports.serial.setRts(false);
        m_ports.serial.setDtr(false);
        m_ports.serial.close();
    }
    m_portState.reset();
    m_ports.rigctld.close();
}

void RadioControl::openConfiguredBoard() {
    if (m_settings.via != PttVia::HidBoard) return;
    const int count = m_board.countBoards();
    if (count == 0) {
        m_ports.ui.messageBox("ZOLK SAT", "UZ-Board device not found");
    } else if (count == 1) {
        const std::string path = m_board.openBoardByIndex(1);
        if (!path.empty()) {
            m_settings.boardPath = path;
            m_host.storeBoardPath(path);
        }
    } else if (m_board.openBoardByPath(m_settings.boardPath) == 0) {
        if (m_settings.boardPath.empty()) {
            m_ports.ui.messageBox("ZOLK SAT", "Please, select the UZ-Board PTT device");
            m_host.chooseBoard();
        } else {
            m_ports.ui.messageBox("ZOLK SAT", "UZ-Board device not found");
        }
    }
}

void RadioControl::pttOn() {
    if (m_transmitActive) return;
    m_transmitActive = true;
    m_host.reportPtt(true);
    m_ports.timers.start(TimerId::KeyPtt, timerInterval(TimerId::KeyPtt));
    // The safety limit runs from PTT ON until the radio is really released.
    m_ports.timers.start(TimerId::PttSafety, timerInterval(TimerId::PttSafety));
    showPtt(true);
}

void RadioControl::pttOff() {
    if (m_host.sessionDisconnecting()) {
        // The radio stays keyed for the session's closing frames; the cleanup's release unkeys it.
        m_transmitActive = false;
        m_pttReleased = false;
        return;
    }
    if (m_transmitActive || !m_pttReleased) release();
}

void RadioControl::releaseNow() {
    if (m_transmitActive || !m_pttReleased || m_radioKeyed) release();
}

void RadioControl::releaseRadioOnly() {
    if (m_pttExternal || m_settings.via == PttVia::Vox) return;
    std::string reason;
    writeKeying(false, reason);
    m_radioKeyed = false;
}

void RadioControl::release() {
    resetIndicators();
    m_ports.timers.stop(TimerId::KeyPtt);  // a key-up not yet performed is cancelled
    m_ports.timers.stop(TimerId::PttSafety);
    m_pttReleased = true;
    m_transmitActive = false;
    m_host.reportPtt(false);
    showPtt(false);
    if (!m_pttExternal && m_settings.via != PttVia::Vox) {
        std::string reason;
        if (!writeKeying(false, reason)) keyingFailed(false, reason);
    }
    m_radioKeyed = false;
}

void RadioControl::keyRadio() {
    if (m_pttExternal || !m_transmitActive) return;
    m_radioKeyed = true;
    if (m_settings.via == PttVia::Vox) return;
    std::string reason;
    if (writeKeying(true, reason)) {
        m_failureReported = false;
    } else {
        keyingFailed(true, reason);
    }
}

bool RadioControl::writeKeying(bool on, std::string& reason) {
    switch (m_settings.via) {
        case PttVia::Cat:
        case PttVia::SerialLines:
            return writeSerial(on, reason);
        case PttVia::HidBoard:
            return writeBoard(on, reason);
        case PttVia::Rigctld:
            return writeRigctld(on, reason);
        case PttVia::Vox:
            break;
    }
    return true;
}

bool RadioControl::writeSerial(bool on, std::string& reason) {
    SerialPort& port = m_ports.serial;
    // A port lost at the last failure (or never opened) is opened again at the key-up; a release
    // never opens it, since opening sets the lines to their resting levels anyway.
    if (on && !port.isOpen()) openPort(false);
    if (!port.isOpen()) {
        reason = m_failedDevice.empty()
                     ? std::string("the serial port is not open")
                     : "the serial port " + m_failedDevice + " cannot be opened: " + port.error();
        return false;
    }
    bool written = true;
    if (m_settings.via == PttVia::Cat) {
        const RadioModel* model = radioModel(m_settings.rig);
        if (model == nullptr) model = radioModel(kDefaultRig);
        written = port.write(catPttBytes(*model, m_settings.icomAddress, on));
    } else if (on) {
        if (m_settings.pin == 1 || m_settings.pin == 3) written = port.setRts(true) && written;
        if (m_settings.pin == 2 || m_settings.pin == 3) written = port.setDtr(true) && written;
    } else {
        // Both lines come down whatever the pin setting says.
        written = port.setRts(false);
        written = port.setDtr(false) && written;
    }
    if (!written) {
        reason = "the serial port " + (m_portState ? m_portState->device : std::string()) +
                 " failed: " + port.error();
        // Closed and forgotten, so the next key-up opens it again (a replugged adapter).
        port.close();
        m_portState.reset();
    }
    return written;
}

bool RadioControl::writeBoard(bool on, std::string& reason) {
    if (m_settings.boardPath.empty()) openConfiguredBoard();
    if (on && !m_board.isOpen() && !m_settings.boardPath.empty()) {
        m_board.openBoardByPath(m_settings.boardPath);
    }
    if (m_board.setPtt(on)) return true;
    reason = m_settings.boardPath.empty()
                 ? std::string("no UZ-Board PTT device is chosen")
                 : "the UZ-Board " + m_settings.boardPath + " cannot be written";
    m_board.close();  // opened again at the next key-up
    return false;
}

bool RadioControl::writeRigctld(bool on, std::string& reason) {
    RigctldLink& link = m_ports.rigctld;
    const std::string_view command = on ? "T 1" : "T 0";
    // A rigctld that was restarted closed our connection: one fresh connection is tried.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!link.connected() && !link.connect(m_settings.rigctldHost, m_settings.rigctldPort)) {
            reason = "rigctld at " + m_settings.rigctldHost + ":" +
                     std::to_string(m_settings.rigctldPort) + " cannot be reached: " + link.error();
            return false;
        }
        const auto answer = link.transact(command);
        if (!answer) {
            link.close();
            reason = "rigctld at " + m_settings.rigctldHost + ":" +
                     std::to_string(m_settings.rigctldPort) + " did not answer: " + link.error();
            continue;
        }
        if (*answer == "RPRT 0") return true;
        reason = "rigctld answered \"" + *answer + "\" to \"" + std::string(command) + "\"";
        return false;
    }
    return false;
}

void RadioControl::keyingFailed(bool on, const std::string& reason) {
    if (m_failureReported) return;
    m_failureReported = true;
    const std::string what =
        on ? "PTT ON: the radio was not keyed: " : "PTT OFF: the radio was not released: ";
    m_ports.ui.logLine(what + reason);
    m_ports.ui.setPanelTip(kPttPanel,
                           on ? "PTT ON (radio not keyed)" : "PTT OFF (radio not released)");
}

bool RadioControl::onTimer(TimerId id) {
    if (id == TimerId::KeyPtt) {
        m_ports.timers.stop(id);
        keyRadio();
        return true;
    }
    if (id == TimerId::PttSafety) {
        m_ports.timers.stop(id);
        m_ports.ui.logLine("PTT held longer than " +
                           std::to_string(kPttSafetyLimit.count() / 1000) + " s: released");
        releaseNow();
        return true;
    }
    return false;
}

void RadioControl::showPtt(bool on) {
    // While the station transmits the level gauge stays empty: it would only show our own signal.
    if (on) m_ports.ui.clearGauge(Gauge::Level);
    m_ports.ui.setPanelText(kPttPanel, on ? "TX" : "RX");
    m_ports.ui.setPanelIcon(kPttPanel, on ? "LedRojo" : "LedVerde");
    m_ports.ui.setPanelTip(kPttPanel, on ? "PTT ON" : "PTT OFF");
}

void RadioControl::resetIndicators() {
    for (std::size_t i = 0; i < kTransmitIndicatorCount; ++i) {
        m_ports.ui.setIndicator(static_cast<TransmitIndicator>(i), IndicatorColour::White);
    }
}

void RadioControl::lightIndicator(TransmitIndicator kind, bool repetition) {
    IndicatorColour colour = IndicatorColour::Green;
    switch (kind) {
        case TransmitIndicator::Data:
            colour = repetition ? IndicatorColour::Red : IndicatorColour::Green;
            break;
        case TransmitIndicator::Nack:
        case TransmitIndicator::Req:
            colour = IndicatorColour::Red;
            break;
        default:
            break;
    }
    m_ports.ui.setIndicator(kind, colour);
}

}  // namespace zolk
