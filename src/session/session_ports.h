// session_ports.h: the narrow interfaces through which the ARQ session meets the rest of the
// station: the radio (codes and frames on the air, reception), the transmitter keying, the host
// (status lines, received bytes, DataPort flow), the operator's displays and the session log.
// The session calls them; each method states what the session relies on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "phy/rx/control_detector.h"
#include "ports/ui_sink.h"
#include "session/control_codes.h"
#include "session/ping_codes.h"

namespace zolk {

// A ping or reply the ping detector found, and the frequency it was heard at.
struct PingHeard {
    int code = 0;
    float offsetHz = 0.0f;
};

// The air side. Frames and failures come back through the session's frame entries, from inside
// the calls below or later.
class SessionRadio {
public:
    virtual ~SessionRadio() = default;
    // Draws the code's tone pattern and starts it; transmitActive() holds until it has been played.
    virtual void sendControl(ControlCode code) = 0;
    // Modulates one or two data frames of mode (NetBytes each) as one transmission.
    virtual void sendFrames(int mode, std::span<const std::span<const std::uint8_t>> frames) = 0;
    // From now on frames of mode in bursts of framesPerBurst (1 or 2) are expected; the reception's
    // windows start again at the end of the own transmission.
    virtual void receive(int mode, int framesPerBurst) = 0;
    // No frame is expected any more.
    virtual void stopReceiving() = 0;
    // A link or call is under way (active) and its control codes are searched with this
    // resolution: the receiver keeps the matching spectrogram running between the searches.
    virtual void followSession(bool active, ControlSearch search) = 0;
    // Runs the control-code detector once for this set of codes; a completed detection is returned.
    virtual std::optional<ControlCode> listenFor(const ControlCodeSet& codes, ControlSearch search) = 0;
    // The station's own signal is still on the air (or in the playback queue).
    virtual bool transmitActive() const = 0;
    // This tick produced a new spectrogram row (every fourth tick): the detector has a new slot.
    virtual bool symbolSlot() const = 0;
    // The patterns of codes 1..21 for the link answered on own call-sign slot 1..5, or, after a
    // link, for no link at all (slot 0).
    virtual void drawLinkPatterns(int slot) = 0;
    // The next transmission (the first after a link) opens with the long lead-in tone.
    virtual void armLeadInTone() = 0;
    // The busy channel watch stops and the channel shows free (a call or an answered call).
    virtual void pauseBusyWatch() = 0;
    // The watch resumes 2 s from now unless it runs already (the return to idle).
    virtual void resumeBusyWatch() = 0;

    // Link calibration. The ping patterns of the call sign with this CallSeed (the pinged
    // station's, while pinging), or the station's own, which it answers pings on; a redraw drops
    // a detection under way.
    virtual void drawPingPatterns(std::int32_t seed) = 0;
    virtual void drawOwnPingPatterns() = 0;
    // Sends ping or reply code 1..17 of the ping patterns drawn now and keys TransmitActive. An
    // armed lead-in tone lasts 10 s with leadInToneLength 1, else 400 ms.
    virtual void sendPing(int code, int leadInToneLength) = 0;
    // One run of the kind's ping detector over these codes (each kind keeps its own record).
    virtual std::optional<PingHeard> listenForPing(PingKind kind, std::span<const std::uint8_t> codes) = 0;
    // Empties the wide spectrogram, so that a ping just answered is not heard again.
    virtual void clearWideSpectrogram() = 0;
};

// The transmitter's key. The session keys after each start of a transmission; the end of the
// transmission unkeys by itself, and the session unkeys when a link is cleaned up.
class SessionKeying {
public:
    virtual ~SessionKeying() = default;
    virtual void key() = 0;
    virtual void unkey() = 0;
};

// The host program's side.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    virtual void pending() = 0;
    virtual void cancelPending() = 0;
    virtual void connected(std::string_view callingCall, std::string_view calledCall) = 0;
    virtual void disconnected() = 0;
    // Bytes still to be sent (acknowledged bytes are no longer counted).
    virtual void buffer(std::size_t bytesToSend) = 0;
    // Received bytes in order. Returns how many of them the DataPort took; the rest are offered
    // again at the next delivery, so a failed or stalled send loses nothing.
    virtual std::size_t deliver(std::span<const std::uint8_t> bytes) = 0;
    // Stop (true) or resume (false) reading the DataPort: the transmit buffer is full.
    virtual void holdDataPort(bool hold) = 0;
    // The own call sign of slot 1..5 (empty when the slot is free).
    virtual std::string_view myCall(int slot) const = 0;
    // LISTEN ON: calls for the own call signs are answered.
    virtual bool listening() const = 0;
    // The public flag the data frames carry.
    virtual bool publicFlag() const = 0;
};

// Which transmit lamp a transmission lights; DATA is red while the burst repeats lost data.
using Lamp = TransmitIndicator;

// What the operator sees of the session.
class SessionUi {
public:
    virtual ~SessionUi() = default;
    // Status-bar panels by key ("Indicativos", "Baud", "Bytes"); icon empty for none.
    virtual void setPanelText(std::string_view key, std::string_view text) = 0;
    virtual void setPanelIcon(std::string_view key, std::string_view icon) = 0;
    virtual void setPanelTip(std::string_view key, std::string_view tip) = 0;
    virtual void lightLamp(Lamp lamp) = 0;
    virtual void clearLamps() = 0;
    // The repeat flag the DATA lamp shows: set while the answers report lost data.
    virtual void showRepeat(bool repeating) = 0;
    // The speed chart: cleared to the colour, or a point (bit rate, 0 for a lost frame).
    virtual void resetChart(ChartColour colour) = 0;
    virtual void chartPoint(int bitRate) = 0;
    // The gauges back to their empty picture and the waterfall cleared unless it is always on:
    // the end of a link leaves nothing of it on the displays.
    virtual void resetDisplays() = 0;
    // Setup, PTT and Monitor menus: disabled while a link or call is under way.
    virtual void enableSetupMenus(bool enabled) = 0;
    virtual void messageBox(std::string_view text) = 0;
    // The link calibration: a ping under way, its result, or that no reply came.
    virtual void showCalibration(const CalibrationView& view) = 0;
};

// What a finished link did, for the log's summary line.
struct LinkSummary {
    bool timedOut = false;
    std::uint64_t bytesSent = 0;
    std::int32_t maxSendBps = 0;
    std::uint64_t bytesReceived = 0;
    std::int32_t maxReceiveBps = 0;
};

// The history of links; the log words and dates each event.
class SessionLogPort {
public:
    virtual ~SessionLogPort() = default;
    // Attempt 1 of a call also starts the link's clock.
    virtual void connecting(std::string_view destinationCall, int attempt, int retryLimit) = 0;
    virtual void incomingConnection() = 0;
    virtual void incomingFailed() = 0;
    virtual void connectedIncoming(std::string_view callerCall) = 0;
    virtual void connectedOutgoing(std::string_view destinationCall) = 0;
    // The peer ended the link.
    virtual void qrtReceived() = 0;
    // A station pinged this one: kind 1 rough, 2 fine.
    virtual void tuningRequest(int kind) = 0;
    virtual void disconnected(const LinkSummary& summary) = 0;
    // What the session decided and why, for reading a failed link afterwards (debug level).
    virtual void debug(std::string_view text) = 0;
};

// Everything above, lent to a session by its station; each must outlive the session.
struct SessionPorts {
    SessionRadio& radio;
    SessionKeying& keying;
    SessionHost& host;
    SessionUi& ui;
    SessionLogPort& log;
};

}  // namespace zolk
