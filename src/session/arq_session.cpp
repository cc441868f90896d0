#include "session/arq_session.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "session/identification.h"

namespace zolk {
namespace {

constexpr std::string_view kCallPanel = "Indicativos";
constexpr std::string_view kBaudPanel = "Baud";
constexpr std::string_view kBytesPanel = "Bytes";

const ModeRecord& record(int mode) { return modeRecord(mode); }

std::size_t userBytes(int mode) { return static_cast<std::size_t>(record(mode).userBytes); }

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view text) {
    return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
}

bool contains(std::span<const std::uint8_t> bytes, std::string_view text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

std::string codeName(ControlCode code) { return std::string(controlCodeName(code)); }

bool isNak(ControlCode code) {
    return code == ControlCode::Nak || code == ControlCode::NakFirst || code == ControlCode::NakSecond;
}

ControlCode toggled(ControlCode req) {
    return req == ControlCode::Req0 ? ControlCode::Req1 : ControlCode::Req0;
}

}  // namespace

std::string_view sessionStateName(SessionState state) {
    switch (state) {
        case SessionState::Disconnected: return "Disconnected";
        case SessionState::Answering: return "Answering";
        case SessionState::Receiving: return "Receiving";
        case SessionState::TurnRequested: return "TurnRequested";
        case SessionState::Identifying: return "Identifying";
        case SessionState::Sending: return "Sending";
        case SessionState::Disconnecting: return "Disconnecting";
        case SessionState::Calling: return "Calling";
        case SessionState::Pinging: return "Pinging";
        case SessionState::PingReplied: return "PingReplied";
    }
    return "?";
}

ArqSession::ArqSession(SessionPorts ports, const SessionSettings& settings)
    : m_radio(ports.radio),
      m_keying(ports.keying),
      m_host(ports.host),
      m_ui(ports.ui),
      m_log(ports.log),
      m_settings(settings) {
    for (auto& frame : m_frames) frame.reserve(static_cast<std::size_t>(record(13).netBytes));
    cleanup();
}

void ArqSession::showCallPanel(std::string_view text) {
    m_callPanelText = text;
    m_ui.setPanelText(kCallPanel, text);
}

void ArqSession::decision(std::string_view text) {
    m_log.debug("[" + std::to_string(m_ticks) + "] " + std::string(sessionStateName(m_state)) + ": " +
                std::string(text));
}

// --- host commands ---------------------------------------------------------------------------

void ArqSession::connect(std::string_view sourceCall, std::string_view destinationCall) {
    if (calibrating()) m_ui.messageBox("Not while calibration is in progress");
    if (m_state != SessionState::Disconnected) return;
    m_ui.showCalibration(CalibrationView{.status = CalibrationStatus::Closed});
    m_sourceCall = sourceCall;
    m_destinationCall = destinationCall;
    callAttempt();
}

void ArqSession::callAttempt() {
    if (m_destinationCall.empty()) {
        cleanup();
        return;
    }
    m_linkReported = true;
    m_radio.pauseBusyWatch();
    m_ui.enableSetupMenus(false);
    ++m_attempt;
    if (m_attempt == 1) {
        m_sentTotal = m_receivedTotal = 0;
        m_highestSendRate = m_highestReceiveRate = 0;
    }
    const std::string attempts = std::to_string(m_attempt) + "/" + std::to_string(m_settings.retryLimit);
    showCallPanel("Connecting to " + m_destinationCall + " ..." + attempts);
    m_ui.setPanelIcon(kCallPanel, "");
    m_ui.setPanelTip(kCallPanel, "");
    m_log.connecting(m_destinationCall, m_attempt, m_settings.retryLimit);
    sendControl(ControlCode::Call1);
    m_ui.lightLamp(Lamp::Start);
    changeState(SessionState::Calling);
    m_ui.resetChart(ChartColour::Red);
}

void ArqSession::disconnect() {
    if (m_state == SessionState::Disconnected) return;
    decision("disconnect requested");
    m_disconnectRequested = true;
    showCallPanel("Disconnecting...");
}

void ArqSession::abort() {
    if (m_state == SessionState::Disconnected) return;
    decision("abort requested");
    m_abortRequested = true;
    showCallPanel("Disconnecting...");
}

void ArqSession::dropLocally() {
    if (m_state == SessionState::Disconnected) return;
    decision("host port lost: link dropped without a word on the air");
    abandonPing();
    changeState(SessionState::Disconnected);
}

void ArqSession::reset() {
    if (m_state != SessionState::Disconnected) decision("reset: link dropped without a word on the air");
    abandonPing();
    m_state = m_previousState = SessionState::Disconnected;
    cleanup();
}

void ArqSession::onHostData(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    std::size_t taken = 0;
    if (m_heldHostBytes.empty()) taken = m_tx.append(bytes);
    if (taken < bytes.size()) {
        // A full buffer never drops the host's bytes: they wait here and the DataPort is held, so
        // TCP holds the host back until acknowledgements make room.
        m_heldHostBytes.insert(m_heldHostBytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(taken),
                               bytes.end());
        if (!m_dataPortHeld) {
            m_dataPortHeld = true;
            m_host.holdDataPort(true);
            decision("transmit buffer full: DataPort held");
        }
    }
    if (m_tx.pendingBytes() > userBytes(5)) m_turnCount = 5;
    m_host.buffer(bytesUndelivered());
}

// --- the tick --------------------------------------------------------------------------------

void ArqSession::tick() {
    ++m_ticks;
    if (m_linkTimerRunning && ++m_linkTimerTicks >= kLinkTimeoutTicks) linkTimeout();
    if (m_radio.transmitActive()) {
        m_stateTicks = 0;
        return;
    }
    const bool firstTick = m_stateTicks == 0;
    ++m_stateTicks;
    if (firstTick) deliver();
    if ((m_state == SessionState::Answering || m_state == SessionState::Receiving) && m_stateTicks == 1) {
        const ModeRecord& r = record(m_currentMode);
        m_ui.setPanelText(kBaudPanel, "(" + std::to_string(r.speedLevel) + ")  " +
                                          std::to_string(r.netBitRate) + " bps");
        m_ui.setPanelTip(kBaudPanel, "Baud Rate");
    }
    if (m_state != m_previousState) {
        if (stateEntry()) return;
    }
    if (m_state == SessionState::Disconnected) {
        if (m_radio.symbolSlot()) {
            if (m_host.listening()) {
                const ControlCodeSet calls = callCodes();
                if (!calls.empty()) listen(calls);
                // A call heard in this run goes first; pings are listened for while idle only.
                if (m_state == SessionState::Disconnected) listenForPings();
            }
            m_stateTicks = 0;
        }
        return;
    }
    perState();
}

bool ArqSession::stateEntry() {
    const SessionState from = m_previousState;
    decision(std::string("entered from ") + std::string(sessionStateName(from)));
    if (m_state == SessionState::Receiving) {
        m_framesPerBurst = 1;
        setMode(m_proposalAnswerIn ? 14 : m_receiveMode);
        m_ui.resetChart(ChartColour::Green);
        m_speed.resetSnr();
        m_speed.resetLearner();
    } else if (m_state == SessionState::Disconnected) {
        if (from == SessionState::Answering) {
            m_log.incomingFailed();
            m_host.cancelPending();
            cleanup();
        } else if (from == SessionState::Calling && m_attempt < m_settings.retryLimit) {
            if (m_abortRequested) {
                m_abortRequested = false;
                sendControl(ControlCode::Qrt);
                changeState(SessionState::Disconnecting);
                return true;
            }
            callAttempt();
        } else if (from == SessionState::Calling) {
            m_ui.setPanelIcon(kCallPanel, "ErrorAmarillo");
            showCallPanel("Unable to connect");
            cleanup();
        } else {
            cleanup();
        }
    }
    m_reqCode = ControlCode::Req0;
    m_lastStep = 0;
    m_stateTicks = 0;
    m_sentThisTurn = 0;
    m_goodExchanges = 0;
    m_previousState = m_state;
    armReception();
    return false;
}

void ArqSession::perState() {
    const int f = record(m_currentMode).frameLengthUnits;
    const bool slot = m_radio.symbolSlot();
    const bool listening = m_stateTicks > kListenDelayTicks && slot;
    switch (m_state) {
        case SessionState::Disconnected:
            return;
        case SessionState::Answering:
            if (listening)
                listen(ControlCodeSet{ControlCode::Qrt, ControlCode::Req0} | callCodes());
            return;
        case SessionState::Receiving: {
            const std::int32_t window = (m_framesPerBurst == 2 ? 2 * f : f) + kFrameWindowSlackTicks;
            if (m_abortRequested && m_stateTicks > window) {
                abortStep();
                return;
            }
            if (listening) {
                ControlCodeSet codes{ControlCode::Qrt, ControlCode::Break, ControlCode::Req0,
                                     ControlCode::Req1, ControlCode::Idle};
                if (m_receivedThisConnection == 0)
                    codes = codes | ControlCodeSet::range(ControlCode::AcceptMode2, ControlCode::AcceptMode5);
                listen(codes);
            }
            return;
        }
        case SessionState::TurnRequested:
            if (m_stateTicks <= kTurnRepeatTicks) {
                if (m_stateTicks > kListenDelayTicks)
                    listen({ControlCode::Qrt, ControlCode::Req0, ControlCode::Req1, ControlCode::TurnAck,
                            ControlCode::Idle});
            } else if (m_abortRequested) {
                abortStep();
            } else {
                decision("no TurnAck: repeating " + codeName(m_lastSentCode));
                sendControl(m_lastSentCode);
                m_ui.lightLamp(Lamp::Req);
            }
            return;
        case SessionState::Identifying:
        case SessionState::Sending: {
            const std::int32_t timeout =
                (m_lastWasControl ? m_roundTrip.controlTicks() : m_roundTrip.dataTicks(m_currentMode)) +
                kAnswerSlackTicks;
            if (m_stateTicks > timeout) {
                if (m_abortRequested) {
                    abortStep();
                } else {
                    const ControlCode request =
                        m_state == SessionState::Sending && m_idleMode ? ControlCode::Idle : m_reqCode;
                    decision("no answer within " + std::to_string(timeout) + " ticks: " + codeName(request));
                    sendControl(request);
                    m_ui.lightLamp(Lamp::Req);
                }
            } else if (listening) {
                if (m_state == SessionState::Identifying) {
                    listen(ControlCodeSet{ControlCode::Nak, ControlCode::Qrt, ControlCode::Break,
                                          ControlCode::Answer} |
                           ControlCodeSet::range(ControlCode::AcceptMode2, ControlCode::AcceptMode5));
                } else {
                    ControlCodeSet codes = ControlCodeSet::range(ControlCode::Ack, ControlCode::NakSecond);
                    if (m_idleMode) codes.add(ControlCode::IdleAck);
                    listen(codes);
                }
            }
            return;
        }
        case SessionState::Disconnecting:
            ++m_qrtCount;
            if (m_qrtCount >= kQrtRepeats)
                changeState(SessionState::Disconnected);
            else
                sendControl(ControlCode::Qrt);
            return;
        case SessionState::Calling:
            if (m_stateTicks <= m_roundTrip.controlTicks() + kCallSlackTicks) {
                if (listening) listen({ControlCode::Answer});
            } else {
                decision("no Answer to the call");
                changeState(SessionState::Disconnected);
            }
            return;
        case SessionState::Pinging:
            waitForPingReply();
            return;
        case SessionState::PingReplied:
            // The reply is out: the ping it answered must not be heard again.
            m_radio.clearWideSpectrogram();
            changeState(SessionState::Disconnected);
            return;
    }
}

void ArqSession::abortStep() {
    m_abortRequested = false;
    sendControl(ControlCode::Qrt);
    changeState(SessionState::Disconnecting);
}

void ArqSession::listen(const ControlCodeSet& codes) {
    if (const auto code = m_radio.listenFor(codes, controlSearch())) onControlCode(*code);
}

// Before a link the caller may be anywhere within the search range; on a link the receiver is
// already on the peer's frequency.
ControlSearch ArqSession::controlSearch() const {
    switch (m_state) {
        case SessionState::Disconnected:
        case SessionState::Answering:
        case SessionState::Calling:
        case SessionState::Pinging:
        case SessionState::PingReplied:
            return ControlSearch::Wide;
        default:
            return ControlSearch::Narrow;
    }
}

ControlCodeSet ArqSession::callCodes() const {
    ControlCodeSet codes;
    for (int slot = 1; slot <= kCallSlots; ++slot)
        if (!m_host.myCall(slot).empty())
            codes.add(static_cast<ControlCode>(codeNumber(ControlCode::Call1) + slot - 1));
    return codes;
}

void ArqSession::linkTimeout() {
    m_linkTimerRunning = false;
    if (m_state == SessionState::Disconnected) return;
    decision("nothing from the peer for 30 s: link timed out");
    m_ui.setPanelIcon(kCallPanel, "ErrorAmarillo");
    showCallPanel("Connection timed out");
    m_timedOut = true;
    changeState(SessionState::Disconnected);
}

void ArqSession::restartLinkTimer() {
    m_linkTimerRunning = true;
    m_linkTimerTicks = 0;
}

void ArqSession::cleanup() {
    m_ui.setPanelIcon(kCallPanel, "");
    m_ui.setPanelText(kBaudPanel, "");
    m_ui.setPanelTip(kBaudPanel, "");
    m_ui.setPanelText(kBytesPanel, "");
    m_ui.setPanelIcon(kBytesPanel, "");
    if (m_linkReported) {
        m_log.disconnected(LinkSummary{.timedOut = m_timedOut,
                                       .bytesSent = m_sentTotal,
                                       .maxSendBps = m_highestSendRate,
                                       .bytesReceived = m_receivedTotal,
                                       .maxReceiveBps = m_highestReceiveRate});
        m_host.disconnected();
    }
    if (m_callPanelText.find(" <-> ") != std::string::npos || m_callPanelText == "Disconnecting...")
        showCallPanel("Disconnected");
    m_linkReported = false;
    m_abortRequested = false;
    m_disconnectRequested = false;
    m_qrtCount = 0;
    m_linkTimerRunning = false;
    m_linkTimerTicks = 0;
    m_ui.resetChart(ChartColour::Green);
    m_lastStep = 0;
    m_reqCode = ControlCode::Req0;
    m_keying.unkey();
    m_state = SessionState::Disconnected;
    // Unacknowledged bytes go with the link, and so do the host's bytes waiting at the DataPort.
    m_tx.clear();
    m_heldHostBytes.clear();
    if (m_dataPortHeld) {
        m_dataPortHeld = false;
        m_host.holdDataPort(false);
    }
    // Bytes received in order stay for the host; pieces behind a gap cannot be delivered.
    deliver();
    m_rx.dropGaps();
    m_ui.clearLamps();
    m_ui.resetDisplays();
    // The own ping patterns again (after a ping drew the pinged station's), and no detection of
    // a ping left over from before a link.
    m_radio.drawOwnPingPatterns();
    m_pingKind = PingKind::Rough;
    m_radio.drawLinkPatterns(0);
    m_radio.armLeadInTone();
    m_ui.enableSetupMenus(true);
    // Every return to idle re-arms the watch, also after an answered call that never became a
    // link (no DISCONNECTED is sent then).
    m_radio.resumeBusyWatch();
    m_attempt = 0;
    m_timedOut = false;
    m_roundTrip.reset();
    m_framesPerBurst = 1;
    m_goodExchanges = 0;
    m_firstFrameOk = m_firstFrameLast = false;
    m_sendMode = m_receiveMode = 14;
    m_speed.resetSnr();
    m_speed.resetLearner();
    m_proposalAnswerIn = m_proposalAnswerOut = false;
    m_turnCount = 0;
    m_answeredCall = false;
    m_quitAfterAck = false;
    m_idleMode = false;
    m_receivedThisConnection = 0;
    m_calledCall.clear();
    armReception();
}

// --- transmissions ---------------------------------------------------------------------------

void ArqSession::sendControl(ControlCode code) {
    decision("sends " + codeName(code));
    m_lastWasControl = true;
    m_firstFrameOk = false;
    m_firstFrameLast = false;
    if (code == ControlCode::Qrt) m_ui.lightLamp(Lamp::Qrt);
    m_lastSentCode = code;
    m_radio.sendControl(code);
    m_keying.key();
    armReception();
}

void ArqSession::armReception() {
    m_radio.followSession(m_state != SessionState::Disconnected, controlSearch());
    if (m_state == SessionState::Receiving)
        m_radio.receive(m_currentMode, m_framesPerBurst);
    else if (m_state == SessionState::Answering)
        m_radio.receive(0, 1);
    else
        m_radio.stopReceiving();
}

void ArqSession::changeState(SessionState state) {
    if (state != m_state)
        decision(std::string("-> ") + std::string(sessionStateName(state)));
    m_state = state;
    armReception();
}

void ArqSession::setMode(int mode) {
    const int step = mode - m_previousMode;
    m_lastStep = step >= 2 && step <= 4 ? step : 0;
    m_previousMode = mode;
    m_currentMode = mode;
}

void ArqSession::noteSentPayload(std::span<const std::uint8_t> payload, bool firstOfTurn) {
    if (m_state != SessionState::Sending) return;
    if (m_currentMode < 6 && contains(payload, "FC ")) m_receiveMode = 14;
    if (!firstOfTurn) return;
    if (payload.empty()) m_turnCount = 5;
    if (startsWith(payload, "FS ")) m_proposalAnswerOut = true;
    if (payload.size() > 1 && startsWith(payload, "FF")) m_receiveMode = 14;
    if (payload.size() == 3 && startsWith(payload, "FQ\r")) m_quitAfterAck = true;
}

void ArqSession::sendBurst() {
    const int mode = m_currentMode;
    const std::size_t room = userBytes(mode);
    const std::size_t frameBytes = static_cast<std::size_t>(record(mode).netBytes);
    const TurnPosition position = turnPosition(m_answeredCall, m_turnCount);
    std::array<std::span<const std::uint8_t>, 2> frames;
    for (int k = 1; k <= m_framesPerBurst; ++k) {
        const std::size_t before = k == 1 ? m_tx.pendingBytes() : m_tx.bytesAfter(1);
        const auto payload = k == 1 ? m_tx.cutFirstFrame(room) : m_tx.cutSecondFrame(room);
        if (k == 1) noteSentPayload(payload, m_sentThisTurn == 0);
        DataFrameHeader header;
        header.lastFrame = room >= before;
        header.backlogClass = backlogClass(m_tx.bytesAfter(k), mode, position, m_goodExchanges);
        header.publicFlag = m_host.publicFlag();
        auto& frame = m_frames[static_cast<std::size_t>(k - 1)];
        frame.assign(frameBytes, 0);
        buildDataFrame(payload, header, frame);
        frames[static_cast<std::size_t>(k - 1)] = frame;
    }
    decision("sends " + std::to_string(m_framesPerBurst) + " frame(s) in mode " + std::to_string(mode) +
             ", " + std::to_string(m_tx.frameBytes(1) + (m_framesPerBurst == 2 ? m_tx.frameBytes(2) : 0)) +
             " bytes, " + std::to_string(m_tx.pendingBytes()) + " pending");
    m_lastWasControl = false;
    const ModeRecord& r = record(mode);
    m_ui.setPanelText(kBaudPanel, "(" + std::to_string(r.speedLevel) + ")  " +
                                      std::to_string(r.netBitRate) + " bps");
    m_ui.setPanelTip(kBaudPanel, "Baud Rate");
    m_radio.sendFrames(mode, std::span(frames).first(static_cast<std::size_t>(m_framesPerBurst)));
    m_keying.key();
    m_ui.lightLamp(Lamp::Data);
}

void ArqSession::sendIdentification() {
    const auto payload = identificationPayload(m_sourceCall);
    DataFrameHeader header;
    header.lastFrame = true;
    header.publicFlag = m_host.publicFlag();
    auto& frame = m_frames[0];
    frame.assign(static_cast<std::size_t>(record(0).netBytes), 0);
    buildDataFrame(payload, header, frame);
    decision("sends the identification of " + m_sourceCall);
    m_lastWasControl = false;
    const std::array<std::span<const std::uint8_t>, 1> frames{frame};
    m_radio.sendFrames(0, frames);
    m_keying.key();
    m_ui.lightLamp(Lamp::Data);
}

// --- control codes ---------------------------------------------------------------------------

void ArqSession::onControlCode(ControlCode code) {
    decision("hears " + codeName(code));
    restartLinkTimer();
    m_ui.showRepeat(false);
    if (m_currentMode == 14) setMode(1);
    if (code == ControlCode::Qrt) {
        m_log.qrtReceived();
        changeState(SessionState::Disconnected);
        return;
    }
    if (m_abortRequested) {
        if (m_state == SessionState::Sending) {
            if (code == ControlCode::Ack || (codeNumber(code) >= 4 && codeNumber(code) <= 9)) {
                releaseFrame(1);
                if (m_framesPerBurst == 2) releaseFrame(2);
            } else if (code == ControlCode::NakFirst) {
                releaseFrame(2);
            } else if (code == ControlCode::NakSecond) {
                releaseFrame(1);
            }
        }
        abortStep();
        return;
    }
    if (isCallCode(code)) {
        // Only while no link is under way (or the caller repeats its call while we answer).
        if (m_state == SessionState::Disconnected || m_state == SessionState::Answering)
            onIncomingCall(callSlot(code));
        return;
    }
    switch (m_state) {
        case SessionState::Answering:
            if (code == ControlCode::Req0) {
                sendControl(ControlCode::Nak);
                m_ui.lightLamp(Lamp::Nack);
            }
            return;
        case SessionState::Receiving:
            if (code == ControlCode::Req0 || code == ControlCode::Req1) {
                if (code == m_reqCode) {
                    // A new request: the burst never arrived.
                    m_reqCode = toggled(m_reqCode);
                    chartLost();
                    if (m_framesPerBurst == 2) chartLost();
                    lowerModeRuleA();
                    burstSizeRule();
                    sendControl(ControlCode::Nak);
                    m_ui.lightLamp(Lamp::Nack);
                } else {
                    // The request repeats: our answer was lost, so it goes out again unchanged.
                    repeatLastCode(isNak(m_lastSentCode) ? Lamp::Nack : Lamp::Ack);
                }
            } else if (code == ControlCode::Break ||
                       (codeNumber(code) >= codeNumber(ControlCode::AcceptMode2) &&
                        codeNumber(code) <= codeNumber(ControlCode::AcceptMode5))) {
                setMode(m_receiveMode);
                sendControl(ControlCode::TurnAck);
                m_ui.lightLamp(Lamp::Ack);
            } else if (code == ControlCode::Idle) {
                // A pending DISCONNECT takes the turn as data would, so that it can end the link;
                // an idle exchange never brings the Break it otherwise waits for.
                if (bytesToSend() > 0 || m_disconnectRequested) {
                    m_receiveMode = m_currentMode;
                    sendControl(ControlCode::Break);
                    m_ui.lightLamp(Lamp::Break);
                    changeState(SessionState::TurnRequested);
                } else {
                    sendControl(ControlCode::IdleAck);
                    m_ui.lightLamp(Lamp::Ack);
                }
            }
            return;
        case SessionState::TurnRequested:
            if (m_disconnectRequested) {
                m_disconnectRequested = false;
                sendControl(ControlCode::Qrt);
                changeState(SessionState::Disconnecting);
            } else if (code == ControlCode::TurnAck) {
                turnAcknowledged();
            } else if (code == ControlCode::Req0 || code == ControlCode::Req1 || code == ControlCode::Idle) {
                repeatLastCode(Lamp::Break);
            }
            return;
        case SessionState::Identifying:
            if (m_lastWasControl)
                m_roundTrip.recordControl(m_stateTicks - kListenDelayTicks - kRttMarginTicks);
            else
                m_roundTrip.recordData(m_currentMode, m_stateTicks - kListenDelayTicks - kRttMarginTicks);
            if (code == ControlCode::Break ||
                (codeNumber(code) >= codeNumber(ControlCode::AcceptMode2) &&
                 codeNumber(code) <= codeNumber(ControlCode::AcceptMode5))) {
                m_acceptMode = code == ControlCode::Break
                                   ? 1
                                   : codeNumber(code) - codeNumber(ControlCode::AcceptMode2) + 2;
                m_sendMode = m_acceptMode;
                showCallPanel(m_sourceCall + " <-> " + m_destinationCall);
                m_ui.setPanelIcon(kCallPanel, "Connected");
                m_ui.setPanelTip(kCallPanel, "Connected to " + m_destinationCall);
                m_log.connectedOutgoing(m_destinationCall);
                m_host.connected(m_sourceCall, m_destinationCall);
                m_ui.resetChart(ChartColour::Green);
                changeState(SessionState::Receiving);
                m_receivedThisConnection = 0;
                sendControl(ControlCode::TurnAck);
                m_ui.lightLamp(Lamp::Ack);
            } else if (code == ControlCode::Answer || code == ControlCode::Nak) {
                m_ui.showRepeat(true);
                sendIdentification();
            }
            return;
        case SessionState::Sending:
            if (m_lastWasControl)
                m_roundTrip.recordControl(m_stateTicks - kListenDelayTicks - kRttMarginTicks);
            else
                m_roundTrip.recordData(m_currentMode, m_stateTicks - kListenDelayTicks - kRttMarginTicks);
            if (code == ControlCode::IdleAck) {
                if (m_disconnectRequested) {
                    // Holding the turn with nothing to send: end the link now.
                    m_disconnectRequested = false;
                    sendControl(ControlCode::Qrt);
                    changeState(SessionState::Disconnecting);
                } else if (bytesToSend() > 0) {
                    m_idleMode = false;
                    sendBurst();
                } else {
                    sendControl(ControlCode::Idle);
                    m_ui.lightLamp(Lamp::Ack);
                }
            } else if (codeNumber(code) >= 1 && codeNumber(code) <= 11 && code != ControlCode::Qrt) {
                answerToBurst(code);
            }
            return;
        case SessionState::Calling:
            if (code == ControlCode::Answer) {
                m_roundTrip.recordControl(m_stateTicks - kListenDelayTicks - kRttMarginTicks -
                                          kCallingExtraTicks);
                m_framesPerBurst = 1;
                setMode(0);
                sendIdentification();
                changeState(SessionState::Identifying);
            }
            return;
        case SessionState::Disconnected:
        case SessionState::Disconnecting:
        case SessionState::Pinging:
        case SessionState::PingReplied:
            return;
    }
}

void ArqSession::repeatLastCode(Lamp lamp) {
    sendControl(m_lastSentCode);
    m_ui.lightLamp(lamp);
}

void ArqSession::turnAcknowledged() {
    m_roundTrip.recordControl(m_stateTicks - kListenDelayTicks - kRttMarginTicks);
    m_framesPerBurst = 1;
    setMode(m_sendMode);
    changeState(SessionState::Sending);
    ++m_turnCount;
    m_ui.resetChart(ChartColour::Red);
    m_proposalAnswerOut = false;
    if (bytesToSend() == 0 && m_turnCount >= 2) {
        m_idleMode = true;
        sendControl(ControlCode::Idle);
        m_ui.lightLamp(Lamp::Ack);
    } else {
        m_idleMode = false;
        sendBurst();
    }
}

void ArqSession::releaseFrame(int frame) {
    const std::size_t released = m_tx.release(frame);
    if (released > 0) {
        m_sentThisTurn += released;
        m_sentTotal += released;
        // Room again: the host's bytes held at the DataPort go in first.
        if (!m_heldHostBytes.empty()) {
            const std::size_t taken = m_tx.append(m_heldHostBytes);
            m_heldHostBytes.erase(m_heldHostBytes.begin(),
                                  m_heldHostBytes.begin() + static_cast<std::ptrdiff_t>(taken));
            if (m_heldHostBytes.empty() && m_dataPortHeld) {
                m_dataPortHeld = false;
                m_host.holdDataPort(false);
                decision("transmit buffer has room: DataPort read again");
            }
        }
        m_host.buffer(bytesUndelivered());
    }
    m_ui.setPanelIcon(kBytesPanel, "Subiendo");
    m_ui.setPanelText(kBytesPanel, std::to_string(m_sentThisTurn) + " Bytes Sent");
    m_highestSendRate = std::max<int>(m_highestSendRate, record(m_currentMode).netBitRate);
}

void ArqSession::answerToBurst(ControlCode code) {
    m_reqCode = toggled(m_reqCode);
    if (code == ControlCode::Break) {
        releaseFrame(1);
        if (m_framesPerBurst == 2) {
            releaseFrame(2);
            chartGood();
        }
        chartGood();
        m_sendMode = m_proposalAnswerOut ? 14 : m_currentMode;
        changeState(SessionState::Receiving);
        m_receivedThisConnection = 0;
        if (m_quitAfterAck) {
            m_quitAfterAck = false;
            m_disconnectRequested = true;
        }
        if (m_disconnectRequested) {
            m_disconnectRequested = false;
            sendControl(ControlCode::Qrt);
            changeState(SessionState::Disconnecting);
        } else {
            sendControl(ControlCode::TurnAck);
            m_ui.lightLamp(Lamp::Ack);
        }
        return;
    }
    if (code != ControlCode::Nak) ++m_goodExchanges;
    int mode = m_currentMode;
    switch (code) {
        case ControlCode::NakFirst:
            m_ui.showRepeat(true);
            chartLost();
            chartGood();
            releaseFrame(2);
            break;
        case ControlCode::NakSecond:
            m_ui.showRepeat(true);
            chartGood();
            chartLost();
            releaseFrame(1);
            break;
        case ControlCode::Nak:
            break;
        default:
            releaseFrame(1);
            if (m_framesPerBurst == 2) {
                releaseFrame(2);
                chartGood();
            }
            chartGood();
            break;
    }
    switch (code) {
        case ControlCode::Nak:
            if (m_goodExchanges > 6) {
                if (mode > 2) mode -= 2;
                else if (mode == 2) mode = 1;
            } else if (m_lastStep >= 2) {
                mode -= 2;
            } else if (mode >= 2) {
                mode -= 1;
            }
            m_ui.showRepeat(true);
            chartLost();
            if (m_framesPerBurst == 2) chartLost();
            break;
        case ControlCode::AckUp1: mode += 1; break;
        case ControlCode::AckUp2: mode += 2; break;
        case ControlCode::AckUp3: mode += 3; break;
        case ControlCode::AckUp4: mode += 4; break;
        case ControlCode::AckDown1:
        case ControlCode::NakFirst:
        case ControlCode::NakSecond:
            if (mode >= 2) mode -= 1;
            break;
        default:
            break;
    }
    // A misdetected answer must not take the sender outside the data modes.
    setMode(std::clamp(mode, 1, kTopDataMode));
    if (code == ControlCode::Ack || (codeNumber(code) >= 5 && codeNumber(code) <= 10))
        m_framesPerBurst = m_goodExchanges > 6 ? 2 : 1;
    else if (code == ControlCode::NakSecond || code == ControlCode::Nak)
        burstSizeRule();
    sendBurst();
}

void ArqSession::lowerModeRuleA() {
    int mode = m_currentMode;
    if (m_goodExchanges > 6) {
        if (mode >= 3) mode -= 2;
        else if (mode == 2) mode = 1;
    } else if (m_lastStep < 2) {
        if (mode >= 2) mode -= 1;
    } else {
        mode -= 2;
    }
    setMode(std::max(mode, 1));
}

void ArqSession::burstSizeRule() {
    if (m_goodExchanges != 0) {
        m_framesPerBurst = m_currentMode == 1 ? 2 : 1;
        m_goodExchanges = 7;
    } else {
        m_framesPerBurst = 1;
    }
}

// --- incoming call ---------------------------------------------------------------------------

void ArqSession::onIncomingCall(int slot) {
    const std::string_view own = m_host.myCall(slot);
    if (own.empty() || !m_host.listening()) return;  // never answer for a free slot or while not listening
    m_sourceCall.clear();
    showCallPanel("Incoming connection...");
    m_ui.setPanelTip(kCallPanel, "");
    m_ui.enableSetupMenus(false);
    m_radio.pauseBusyWatch();
    m_radio.drawLinkPatterns(slot);
    m_calledCall = own;
    if (m_state == SessionState::Disconnected) {
        m_sentTotal = m_receivedTotal = 0;
        m_highestSendRate = m_highestReceiveRate = 0;
        m_log.incomingConnection();
        m_ui.showCalibration(CalibrationView{.status = CalibrationStatus::Closed});
    }
    m_host.pending();
    sendControl(ControlCode::Answer);
    m_ui.lightLamp(Lamp::Ack);
    changeState(SessionState::Answering);
    setMode(0);
}

void ArqSession::onIdentification(const ReceivedDataFrame& frame, float snrDb) {
    // An unreadable call sign is answered as a frame that did not decode: the caller repeats.
    auto caller = callFromIdentification(frame.payload);
    if (!caller) {
        decision("identification with an unreadable call sign");
        onMissingFrame();
        return;
    }
    m_sourceCall = std::move(*caller);
    m_answeredCall = true;
    m_log.connectedIncoming(m_sourceCall);
    m_linkReported = true;
    m_host.connected(m_sourceCall, m_calledCall);
    restartLinkTimer();
    m_ui.setPanelIcon(kCallPanel, "Connected");
    showCallPanel(m_sourceCall + " <-> " + m_calledCall);
    m_ui.setPanelTip(kCallPanel, m_sourceCall + " is connected");
    if (m_abortRequested) {
        abortStep();
        return;
    }
    if (!frame.lastFrame) {
        m_ui.messageBox("HandOver error");
        return;
    }
    m_speed.addSnr(snrDb);
    const int start = m_speed.startingMode();
    const ControlCode accept =
        start == 1 ? ControlCode::Break
                   : static_cast<ControlCode>(codeNumber(ControlCode::AcceptMode2) + start - 2);
    decision("identification of " + m_sourceCall + " at " + std::to_string(snrDb) +
             " dB: starting mode " + std::to_string(start));
    sendControl(accept);
    m_acceptMode = m_receiveMode = start;
    m_ui.lightLamp(Lamp::Break);
    changeState(SessionState::TurnRequested);
}

// --- received frames -------------------------------------------------------------------------

void ArqSession::chartGood() {
    m_ui.chartPoint(record(m_currentMode).netBitRate);
    m_speed.goodFrame(m_currentMode, m_state == SessionState::Receiving);
}

void ArqSession::chartLost() {
    m_ui.chartPoint(0);
    m_speed.lostFrame(m_currentMode, m_state == SessionState::Receiving);
}

bool ArqSession::storePayload(int slot, std::span<const std::uint8_t> payload) {
    const bool stored = slot == 1 ? m_rx.storeFirst(payload)
                                  : m_rx.storeSecond(payload, m_firstFrameOk, userBytes(m_currentMode));
    if (!stored) {
        decision("no room for " + std::to_string(payload.size()) +
                 " received bytes: the frame counts as lost");
        return false;
    }
    if (m_framesPerBurst == 1 && m_currentMode < 6 && contains(payload, "FC ")) m_sendMode = 14;
    if (m_receivedThisTurn == 0 && !(slot == 2 && m_firstFrameOk)) {
        if (payload.empty()) m_turnCount = 5;
        if (startsWith(payload, "FS ")) m_proposalAnswerIn = true;
        if (startsWith(payload, "FF")) m_sendMode = 14;
    }
    m_receivedThisTurn += payload.size();
    m_receivedThisConnection += payload.size();
    m_receivedTotal += payload.size();
    m_ui.setPanelText(kBytesPanel, std::to_string(m_receivedThisTurn) + " Bytes Rcvd");
    m_ui.setPanelIcon(kBytesPanel, "Descargando");
    return true;
}

void ArqSession::onFirstFrame(std::span<const std::uint8_t> frame, float snrDb) {
    if (m_state != SessionState::Receiving) return;
    const auto read = readDataFrame(frame);
    if (!read || !storePayload(1, read->payload)) {
        onFirstFrameFailed();
        return;
    }
    m_speed.addSnr(snrDb);
    m_firstFrameOk = true;
    m_lastStep = 0;
    m_highestReceiveRate = std::max<int>(m_highestReceiveRate, record(m_currentMode).netBitRate);
    restartLinkTimer();
    chartGood();
    m_firstFrameLast = read->lastFrame;
    decision("frame 1 of 2: " + std::to_string(read->payload.size()) + " bytes");
}

void ArqSession::onFirstFrameFailed() {
    decision("frame 1 of 2 lost");
    restartLinkTimer();
}

void ArqSession::onFrame(std::span<const std::uint8_t> frame, float snrDb) {
    const auto read = readDataFrame(frame);
    if (!read) {
        onMissingFrame();
        return;
    }
    const bool allOk = m_framesPerBurst == 1 || m_firstFrameOk;
    m_lastStep = 0;
    m_highestReceiveRate = std::max<int>(m_highestReceiveRate, record(m_currentMode).netBitRate);
    if (m_state == SessionState::Answering) {
        onIdentification(*read, snrDb);
        return;
    }
    if (m_state != SessionState::Receiving) {
        restartLinkTimer();
        return;
    }
    const bool turnEnds = m_firstFrameOk && m_firstFrameLast;
    // A payload without room counts as a lost frame: the sender repeats it once the host reads.
    if (!turnEnds && !storePayload(m_framesPerBurst == 2 ? 2 : 1, read->payload)) {
        onMissingFrame();
        return;
    }
    restartLinkTimer();
    if (m_abortRequested) {
        abortStep();
        return;
    }
    ++m_goodExchanges;
    if (m_framesPerBurst == 2 && !allOk) chartLost();
    chartGood();
    decision("frame: " + std::to_string(read->payload.size()) + " bytes, last " +
             std::to_string(read->lastFrame) + ", backlog " + std::to_string(read->backlogClass));
    if (turnEnds) {
        m_receiveMode = m_currentMode;
        sendControl(ControlCode::Break);
        m_ui.lightLamp(Lamp::Break);
        changeState(SessionState::TurnRequested);
        return;
    }
    if (m_currentMode == 14) setMode(1);
    if (allOk && read->lastFrame) {
        m_receiveMode = m_currentMode;
        sendControl(ControlCode::Break);
        m_ui.lightLamp(Lamp::Break);
        changeState(SessionState::TurnRequested);
        return;
    }
    answerBurst(*read, snrDb, allOk);
}

void ArqSession::answerBurst(const ReceivedDataFrame& frame, float snrDb, bool allOk) {
    m_reqCode = toggled(m_reqCode);
    m_ui.lightLamp(allOk ? Lamp::Ack : Lamp::Nack);
    const int highest = m_speed.highestAllowedMode();
    m_speed.addSnr(snrDb);
    const BurstAnswer answer =
        chooseBurstAnswer(m_currentMode, highest, allOk, m_speed.margins(m_currentMode), frame.backlogClass);
    setMode(answer.mode);
    m_framesPerBurst = m_goodExchanges < 7 ? 1 : 2;
    sendControl(answer.code);
}

void ArqSession::onMissingFrame() {
    restartLinkTimer();
    if (m_currentMode == 14) setMode(1);
    if (m_abortRequested) {
        abortStep();
        return;
    }
    if (m_state == SessionState::Answering) {
        decision("identification lost");
        sendControl(ControlCode::Nak);
        m_ui.lightLamp(Lamp::Nack);
        return;
    }
    if (m_state != SessionState::Receiving) return;
    decision(m_firstFrameOk ? "frame 2 lost" : "burst lost");
    chartLost();
    if (m_framesPerBurst == 2 && !m_firstFrameOk) chartLost();
    m_reqCode = toggled(m_reqCode);
    if (m_firstFrameOk) {
        if (m_firstFrameLast) {
            m_receiveMode = m_currentMode;
            sendControl(ControlCode::Break);
            m_ui.lightLamp(Lamp::Break);
            changeState(SessionState::TurnRequested);
            return;
        }
        if (m_currentMode >= 2) setMode(m_currentMode - 1);
        m_framesPerBurst = m_currentMode == 1 ? 2 : 1;
        sendControl(ControlCode::NakSecond);
        m_ui.lightLamp(Lamp::Nack);
        return;
    }
    lowerModeRuleA();
    burstSizeRule();
    sendControl(ControlCode::Nak);
    m_ui.lightLamp(Lamp::Nack);
}

void ArqSession::deliver() {
    const auto ready = m_rx.waiting();
    if (ready.empty()) return;
    m_rx.consume(m_host.deliver(ready));
}

}  // namespace zolk
