#include "host/host_protocol.h"

#include <algorithm>

#include "phy/common/call_sign.h"
#include "host/command_syntax.h"
#include "host/host_panels.h"
#include "host/status_lines.h"
#include "version.h"

namespace zolk {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

bool allValid(std::span<const std::string_view> calls) {
    return std::all_of(calls.begin(), calls.end(),
                       [](std::string_view c) { return callSignValid(c); });
}

}  // namespace

HostProtocol::HostProtocol(HostLinkPort& link, UiSink& ui, HostLinks links)
    : m_link(link), m_ui(ui), m_links(links) {}

void HostProtocol::onCommandBytes(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        const char ch = static_cast<char>(byte);
        // A host that ends its lines with CR LF: the LF belongs to the line just run.
        const bool afterCarriageReturn = m_afterCarriageReturn;
        m_afterCarriageReturn = ch == kCarriageReturn;
        if (ch == kLineFeed && afterCarriageReturn) continue;
        if (m_droppingLine) {
            // The oversized line ends here and becomes an empty command, answered "WRONG".
            if (ch == kCarriageReturn) {
                m_droppingLine = false;
                m_commandBuffer += kCarriageReturn;
                runHeldLines();
            }
            continue;
        }
        if (ch != kCarriageReturn && m_commandBuffer.size() >= kCommandBufferLimit) {
            runHeldLines();
            if (m_commandBuffer.size() >= kCommandBufferLimit) {
                m_commandBuffer.clear();
                m_droppingLine = true;
                continue;
            }
        }
        m_commandBuffer += ch;
        // Each line runs as soon as its carriage return arrives, whatever follows in the chunk.
        if (ch == kCarriageReturn) runHeldLines();
    }
}

void HostProtocol::clearCommandBuffer() {
    m_commandBuffer.clear();
    m_droppingLine = false;
    m_afterCarriageReturn = false;
}

void HostProtocol::setListenMode(bool on) {
    m_listenMode = on;
    showListenState(m_ui, m_listenMode);
}

void HostProtocol::runHeldLines() {
    const std::size_t lastCr = m_commandBuffer.rfind(kCarriageReturn);
    if (lastCr == std::string::npos) return;
    // Taken out of the buffer first: a command may re-arm the CommandPort, which empties it.
    const std::string batch = upperAscii(std::string_view(m_commandBuffer).substr(0, lastCr));
    m_commandBuffer.erase(0, lastCr + 1);
    std::size_t start = 0;
    for (std::size_t cr = batch.find(kCarriageReturn); cr != std::string::npos;
         cr = batch.find(kCarriageReturn, start)) {
        execute(std::string_view(batch).substr(start, cr - start));
        start = cr + 1;
    }
    execute(std::string_view(batch).substr(start));
}

void HostProtocol::execute(std::string_view line) {
    const HostCommand command = classifyCommand(line);
    switch (command) {
        case HostCommand::Connect:
            connectCommand(line);
            return;
        case HostCommand::MyCall:
            myCallCommand(line);
            return;
        case HostCommand::Gateway:
            sendOk(m_link);
            return;
        case HostCommand::Disconnect:
            sendOk(m_link);
            m_links.session.disconnect();
            return;
        case HostCommand::Abort:
            sendOk(m_link);
            m_links.session.abort();
            return;
        case HostCommand::ListenOn:
        case HostCommand::ListenOff:
            setListenMode(command == HostCommand::ListenOn);
            sendOk(m_link);
            return;
        case HostCommand::PublicOn:
        case HostCommand::PublicOff:
            // Both clear the flag and neither is answered: data frames always carry 0.
            m_publicFlag = 0;
            return;
        case HostCommand::Calibrate:
            calibrateCommand(line);
            return;
        case HostCommand::Unknown:
            sendWrong(m_link);
            return;
    }
}

void HostProtocol::connectCommand(std::string_view line) {
    const std::vector<std::string_view> fields = splitFields(line);
    // A CONNECT during a link would redraw the running link's patterns under it, and one without
    // a call sign would be answered "OK" and then do nothing: both are refused.
    if (fields.size() != 3 || fields[1].empty() || fields[2].empty() ||
        !allValid(std::span(fields).subspan(1)) || m_links.session.inProgress()) {
        if (m_links.session.calibrating()) m_ui.messageBox("ZOLK SAT", "Not while calibration is in progress");
        sendWrong(m_link);
        return;
    }
    sendOk(m_link);
    m_sourceCall = fields[1];
    m_destinationCall = fields[2];
    m_links.station.leaveMonitorMode();
    m_links.patterns.buildCallPatterns(callSeed(m_destinationCall), m_slotSeeds, true);
    m_links.session.connect();
}

// Answered "OK" once the ping is on its way, "WRONG" for a bad line or when the station refuses
// (a ping or a link under way; the operator is told why). The result reaches the operator's
// display, not the host: a stock host never sends this command.
void HostProtocol::calibrateCommand(std::string_view line) {
    const std::vector<std::string_view> fields = splitFields(line);
    const bool rough = fields.size() == 3 && fields[1] == "ROUGH";
    const bool fine = fields.size() == 3 && fields[1] == "FINE";
    if (!(rough || fine) || fields[2].empty() || !callSignValid(fields[2]) ||
        !m_links.session.startPing(rough ? 1 : 2, fields[2])) {
        sendWrong(m_link);
        return;
    }
    sendOk(m_link);
}

void HostProtocol::myCallCommand(std::string_view line) {
    const std::vector<std::string_view> fields = splitFields(line);
    const std::span calls = std::span(fields).subspan(1);
    if (calls.size() > kMyCallSlots || calls[0].empty() || !allValid(calls)) {
        sendWrong(m_link);
        return;
    }
    std::string caption(kWindowCaption);
    for (std::size_t slot = 0; slot < kMyCallSlots; ++slot) {
        m_myCalls[slot] = slot < calls.size() ? std::string(calls[slot]) : std::string();
        if (slot < calls.size()) caption += m_myCalls[slot] + "  ";
    }
    m_ui.setCaption(caption);
    m_links.station.takeOverPtt();
    m_links.station.applyRadioPort();
    sendOk(m_link);
    for (std::size_t slot = 0; slot < kMyCallSlots; ++slot)
        m_slotSeeds[slot] = m_myCalls[slot].empty() ? 0 : callSeed(m_myCalls[slot]);
    m_links.patterns.buildCallPatterns(0, m_slotSeeds, false);
    m_links.patterns.drawPingPatterns(callSeed(m_myCalls[0]));
}

}  // namespace zolk
