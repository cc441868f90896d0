// host_links.h: what host commands and host sockets set in motion in the rest of the station.
// Each interface belongs to the subsystem that implements it; the host interface only calls them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace zolk {

inline constexpr std::size_t kMyCallSlots = 5;
using SlotSeeds = std::array<std::int32_t, kMyCallSlots>;  // CallSeed per MyCalls slot, 0 if empty

// The ARQ session as the host sees it.
class SessionControl {
public:
    virtual ~SessionControl() = default;
    // A link or connect attempt is under way (session state not Disconnected).
    virtual bool inProgress() const = 0;
    // CONNECT, after SourceCall and DestinationCall are stored and the call patterns drawn.
    virtual void connect() = 0;
    virtual void disconnect() = 0;  // DISCONNECT: orderly end of the link
    virtual void abort() = 0;       // ABORT: immediate end of the link or connect attempt
    // The host dropped a port during a link: state Disconnected at once, nothing sent on the air.
    virtual void dropLocally() = 0;
    // A link calibration ping of ours, or our reply to one, is on the air or awaits its reply.
    virtual bool calibrating() const = 0;
    // CALIBRATE: a link calibration ping (kind 1 rough, 2 fine) to the station with call sign
    // target (valid, not empty). False when the station refused it (it has said why).
    virtual bool startPing(int kind, std::string_view target) = 0;
};

// The tone patterns drawn from call signs: control codes and calibration pings.
class CallPatterns {
public:
    virtual ~CallPatterns() = default;
    virtual void buildCallPatterns(std::int32_t seed, const SlotSeeds& slotSeeds, bool forCall) = 0;
    virtual void drawPingPatterns(std::int32_t seed) = 0;
};

// The station-wide switches a host command flips.
class StationControl {
public:
    virtual ~StationControl() = default;
    // CONNECT in monitor mode leaves it as the Monitor OFF menu does; no-op outside monitor mode.
    virtual void leaveMonitorMode() = 0;
    // MYCALL: the modem keys the radio itself from now on (the host no longer keys it; PTT menu shown).
    virtual void takeOverPtt() = 0;
    // MYCALL: opens or closes the radio's serial port as the PTT settings say.
    virtual void applyRadioPort() = 0;
};

// Where bytes from the host's DataPort go: the end of the session's transmit buffer.
class TransmitBufferEntry {
public:
    virtual ~TransmitBufferEntry() = default;
    virtual void appendToTransmitBuffer(std::span<const std::uint8_t> bytes) = 0;
};

// The session log's hook for host-port failures; the text comes without date and line end.
class HostLog {
public:
    virtual ~HostLog() = default;
    virtual void logLine(std::string_view text) = 0;
};

// Everything above, lent to the host interface by its station.
struct HostLinks {
    SessionControl& session;
    CallPatterns& patterns;
    StationControl& station;
    TransmitBufferEntry& transmitBuffer;
    HostLog& log;
};

}  // namespace zolk
