// arq_session.h: the link with one other station: calling and answering, the sending turn, the
// bursts and their answers, repetition and time-outs, disconnect and abort, in session ticks.
// Owns the session state, its counters and both data buffers; the air, the key, the host and the
// displays are reached through the ports of session_ports.h.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "phy/rx/frame_entries.h"
#include "session/burst_answer.h"
#include "session/data_frame_header.h"
#include "session/receive_buffer.h"
#include "session/round_trip.h"
#include "session/session_ports.h"
#include "session/speed_adaptation.h"
#include "session/transmit_buffer.h"

namespace zolk {

enum class SessionState : std::uint8_t {
    Disconnected = 0,
    Answering = 1,      // called: Answer sent, waiting for the caller's identification
    Receiving = 2,      // the peer holds the turn; each burst is answered with one code
    TurnRequested = 3,  // Break (or an accept code) sent, waiting for TurnAck
    Identifying = 4,    // calling: identification sent, waiting for the accept code
    Sending = 5,        // this station holds the turn: a burst (or Idle) is out
    Disconnecting = 6,  // Qrt on the air, three times
    Calling = 7,        // calling: Call1 sent, waiting for Answer
    Pinging = 9,        // link calibration: ping sent, waiting for the reply
    PingReplied = 10,   // link calibration: a reply to another station's ping is on the air
};

std::string_view sessionStateName(SessionState state);

struct SessionSettings {
    int retryLimit = 10;  // connect attempts per call
};

// Session timings in ticks (1500 per second).
inline constexpr std::int32_t kTicksPerSecond = 1500;
inline constexpr std::int32_t kListenDelayTicks = 992;         // one control code on the air
inline constexpr std::int32_t kFrameWindowSlackTicks = 5624;   // a burst's window after its frames
inline constexpr std::int32_t kAnswerSlackTicks = 1352;
inline constexpr std::int32_t kCallSlackTicks = 1952;
inline constexpr std::int32_t kTurnRepeatTicks = 13232;
inline constexpr std::int32_t kCallingExtraTicks = 600;
inline constexpr std::int32_t kRttMarginTicks = 360;
inline constexpr std::int32_t kLinkTimeoutTicks = 30 * kTicksPerSecond;
inline constexpr int kQrtRepeats = 3;

class ArqSession final : public FrameSessionEntries {
public:
    // settings must outlive the session; a changed retry limit counts from the next call.
    ArqSession(SessionPorts ports, const SessionSettings& settings);

    // --- host commands -------------------------------------------------------------------
    // CONNECT: a call from sourceCall to destinationCall; the call patterns are drawn already.
    // Ignored unless Disconnected. The call, like an answered one, closes the calibration window.
    void connect(std::string_view sourceCall, std::string_view destinationCall);
    void disconnect();  // DISCONNECT: Qrt once this station holds the turn
    void abort();       // ABORT: Qrt at the next chance
    // The host dropped a port: Disconnected at once, nothing more on the air.
    void dropLocally();
    // The return to idle at once (start-up, the monitor switch): a link under way ends without a
    // word on the air, its host told DISCONNECTED.
    void reset();
    // Link calibration: pings the station whose call sign has targetSeed. Refused (false) while a
    // ping is under way (silently: a second press does nothing), while a reply or a link is under
    // way (with a message); otherwise the ping goes out and the state is Pinging until the reply
    // is read or the wait ends.
    bool startPing(PingKind kind, std::int32_t targetSeed);
    // Bytes from the DataPort. What the full transmit buffer cannot take is held and the DataPort
    // is held with it, until acknowledged bytes make room.
    void onHostData(std::span<const std::uint8_t> bytes);

    // --- events from the radio -----------------------------------------------------------
    void tick();
    void onControlCode(ControlCode code);
    // FrameSessionEntries
    void onFirstFrame(std::span<const std::uint8_t> frame, float snrDb) override;
    void onFrame(std::span<const std::uint8_t> frame, float snrDb) override;
    void onFirstFrameFailed() override;
    void onMissingFrame() override;
    bool onMonitorFrame(std::span<const std::uint8_t>, int) override { return false; }

    // --- state ---------------------------------------------------------------------------
    SessionState state() const { return m_state; }
    bool inProgress() const { return m_state != SessionState::Disconnected; }
    // A ping of ours or our reply to one is under way.
    bool calibrating() const { return m_state == SessionState::Pinging || m_state == SessionState::PingReplied; }
    int currentMode() const { return m_currentMode; }
    int framesPerBurst() const { return m_framesPerBurst; }
    std::int32_t stateTicks() const { return m_stateTicks; }
    int attempt() const { return m_attempt; }
    // Bytes not yet acknowledged, with those held back at the DataPort.
    std::size_t bytesToSend() const { return m_tx.pendingBytes() + m_heldHostBytes.size(); }
    // What BUFFER tells the host: its bytes that the peer's host has not been given yet.
    std::size_t bytesUndelivered() const { return m_tx.undeliveredBytes() + m_heldHostBytes.size(); }
    std::size_t bytesHeldForHost() const { return m_rx.heldBytes(); }
    const std::string& sourceCall() const { return m_sourceCall; }
    const std::string& calledCall() const { return m_calledCall; }

private:
    // tick parts
    bool stateEntry();  // true: the tick ends here
    void perState();
    void abortStep();
    void listen(const ControlCodeSet& codes);
    ControlSearch controlSearch() const;
    void linkTimeout();
    void restartLinkTimer();
    void cleanup();
    void callAttempt();
    // link calibration
    void sendPing(int code, int leadInToneLength);
    void listenForPings();
    void answerPing(PingKind kind, float offsetHz);
    void waitForPingReply();
    void pingReplyHeard(const PingHeard& reply);
    void pingTimeout();
    // A ping dropped by a reset or a lost host port: shown as no reply.
    void abandonPing();

    // transmissions
    void sendControl(ControlCode code);
    void sendBurst();
    void sendIdentification();
    void transmitted();
    void setMode(int mode);
    void changeState(SessionState state);
    void armReception();

    // control-code handling
    void onIncomingCall(int slot);
    void answerToBurst(ControlCode code);
    void turnAcknowledged();
    void repeatLastCode(Lamp lamp);
    void lowerModeRuleA();
    void burstSizeRule();
    void releaseFrame(int frame);

    // received frames
    void onIdentification(const ReceivedDataFrame& frame, float snrDb);
    bool storePayload(int slot, std::span<const std::uint8_t> payload);
    void answerBurst(const ReceivedDataFrame& frame, float snrDb, bool allOk);
    void chartGood();
    void chartLost();
    void deliver();

    // payload hints of the host's exchange protocol
    void noteSentPayload(std::span<const std::uint8_t> payload, bool firstOfTurn);

    void decision(std::string_view text);
    void showCallPanel(std::string_view text);
    ControlCodeSet callCodes() const;

    SessionRadio& m_radio;
    SessionKeying& m_keying;
    SessionHost& m_host;
    SessionUi& m_ui;
    SessionLogPort& m_log;
    const SessionSettings& m_settings;

    TransmitBuffer m_tx;
    ReceiveBuffer m_rx;
    std::vector<std::uint8_t> m_heldHostBytes;
    bool m_dataPortHeld = false;
    SpeedAdaptation m_speed;
    RoundTrip m_roundTrip;

    SessionState m_state = SessionState::Disconnected;
    SessionState m_previousState = SessionState::Disconnected;
    std::int32_t m_stateTicks = 0;
    int m_currentMode = 14;
    int m_previousMode = 14;
    int m_lastStep = 0;
    ControlCode m_lastSentCode = ControlCode::Ack;
    ControlCode m_reqCode = ControlCode::Req0;
    int m_goodExchanges = 0;
    int m_framesPerBurst = 1;
    bool m_firstFrameOk = false;
    bool m_firstFrameLast = false;
    bool m_abortRequested = false;
    bool m_disconnectRequested = false;
    bool m_quitAfterAck = false;
    int m_qrtCount = 0;
    int m_attempt = 0;
    bool m_idleMode = false;
    int m_turnCount = 0;
    int m_sendMode = 14;
    int m_receiveMode = 14;
    int m_acceptMode = 1;
    PingKind m_pingKind = PingKind::Rough;
    bool m_lastWasControl = true;
    bool m_linkReported = false;
    bool m_timedOut = false;
    bool m_answeredCall = false;
    bool m_proposalAnswerOut = false;  // this turn's data began with a proposal answer
    bool m_proposalAnswerIn = false;   // the peer's turn began with one
    std::size_t m_sentThisTurn = 0;
    std::size_t m_receivedThisTurn = 0;
    std::size_t m_receivedThisConnection = 0;
    bool m_linkTimerRunning = false;
    std::int32_t m_linkTimerTicks = 0;
    // Ticks since the session was made, for the debug lines.
    long m_ticks = 0;
    // Statistics for the log's summary line.
    std::size_t m_sentTotal = 0;
    std::size_t m_receivedTotal = 0;
    int m_highestSendRate = 0;
    int m_highestReceiveRate = 0;
    std::string m_sourceCall;
    std::string m_destinationCall;
    std::string m_calledCall;
    std::string m_callPanelText;
    std::array<std::vector<std::uint8_t>, 2> m_frames;
};

}  // namespace zolk
