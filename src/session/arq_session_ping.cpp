// arq_session_ping.cpp: the session's link calibration: a ping sent to another station and its
// reply read (Pinging), and the reply to a ping heard while idle and listening (PingReplied).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "session/arq_session.h"

namespace zolk {
namespace {

std::string kindName(PingKind kind) { return kind == PingKind::Rough ? "rough" : "fine"; }

// To nearest, ties to even.
int rounded(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

bool ArqSession::startPing(PingKind kind, std::int32_t targetSeed) {
    if (m_state == SessionState::Pinging) return false;
    if (m_state == SessionState::PingReplied) {
        m_ui.messageBox("Not while calibration is in progress");
        return false;
    }
    if (m_state != SessionState::Disconnected) {
        // A ping would take the session out of the link or call under way.
        m_ui.messageBox("Not while connection is in progress");
        return false;
    }
    decision("starts a " + kindName(kind) + " ping");
    // Our own ping and the reply must not be reported to the host as a busy channel.
    m_radio.pauseBusyWatch();
    m_radio.drawPingPatterns(targetSeed);
    m_pingKind = kind;
    // The ping opens with the short lead-in tone when one is armed.
    sendPing(pingCode(kind), 0);
    m_ui.lightLamp(Lamp::Ack);
    changeState(SessionState::Pinging);
    m_ui.showCalibration(CalibrationView{.status = CalibrationStatus::SendingPing});
    return true;
}

void ArqSession::sendPing(int code, int leadInToneLength) {
    decision("sends ping code " + std::to_string(code));
    m_radio.sendPing(code, leadInToneLength);
    m_keying.key();
}

void ArqSession::listenForPings() {
    for (const PingKind kind : {PingKind::Rough, PingKind::Fine}) {
        const std::array<std::uint8_t, 1> code{static_cast<std::uint8_t>(pingCode(kind))};
        if (const auto heard = m_radio.listenForPing(kind, code)) {
            answerPing(kind, heard->offsetHz);
            return;
        }
    }
}

// The reply says in which row of the kind's table the ping was heard; after a rough ping it opens
// with the 10 s tone, which gives the pinging station time to find it.
void ArqSession::answerPing(PingKind kind, float offsetHz) {
    m_log.tuningRequest(pingCode(kind));
    const int reply = pingReplyCode(kind, offsetHz);
    std::array<char, 32> hz{};
    std::snprintf(hz.data(), hz.size(), "%.1f", static_cast<double>(offsetHz));
    decision("hears a " + kindName(kind) + " ping " + hz.data() + " Hz off: reply " + std::to_string(reply));
    sendPing(reply, pingCode(kind));
    m_ui.lightLamp(Lamp::Ack);
    changeState(SessionState::PingReplied);
}

void ArqSession::waitForPingReply() {
    const std::int32_t wait = pingWaitTicks(m_pingKind);
    if (m_stateTicks > m_roundTrip.controlTicks() + wait) {
        pingTimeout();
        return;
    }
    if (m_stateTicks <= pingListenTicks(m_pingKind) || !m_radio.symbolSlot()) return;
    if (const auto reply = m_radio.listenForPing(m_pingKind, pingReplyCodes(m_pingKind))) pingReplyHeard(*reply);
}

void ArqSession::pingReplyHeard(const PingHeard& reply) {
    CalibrationView view{.status = CalibrationStatus::Result};
    view.txShiftHz = pingTxShiftHz(m_pingKind, reply.code);
    view.rxShiftHz = rounded(reply.offsetHz);
    // A reply heard before the wait was over came from a station without delay.
    view.pingMs = std::max(0, rounded((m_stateTicks - pingWaitTicks(m_pingKind)) * 1000.0 / kTicksPerSecond));
    view.txColour = shiftColour(view.txShiftHz);
    view.rxColour = shiftColour(view.rxShiftHz);
    view.pingColour = pingTimeColour(view.pingMs);
    decision("reply " + std::to_string(reply.code) + ": TX shift " + std::to_string(view.txShiftHz) + " Hz, RX shift " +
             std::to_string(view.rxShiftHz) + " Hz, ping " + std::to_string(view.pingMs) + " ms");
    m_ui.showCalibration(view);
    // The cleanup of the return to idle draws the own ping patterns again.
    changeState(SessionState::Disconnected);
}

void ArqSession::abandonPing() {
    // The operator would otherwise wait for a result that cannot come.
    if (m_state == SessionState::Pinging) m_ui.showCalibration(CalibrationView{.status = CalibrationStatus::NoReply});
}

void ArqSession::pingTimeout() {
    decision("no reply to the ping");
    m_ui.showCalibration(CalibrationView{.status = CalibrationStatus::NoReply});
    changeState(SessionState::Disconnected);
}

}  // namespace zolk
