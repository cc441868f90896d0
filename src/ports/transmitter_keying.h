// transmitter_keying.h: how the session layer keys the transmitter and lights the transmit lamps.
// The station's radio control implements both; session tests use a fake.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zolk {

class TransmitterKeying {
public:
    virtual ~TransmitterKeying() = default;
    // TransmitActive = 1 and "PTT ON" to the host at once; the radio itself is keyed on the next
    // 1 ms timer tick, so the caller finishes before any serial or USB I/O runs. A second call
    // while keyed does nothing.
    virtual void pttOn() = 0;
    // Releases the radio (a key-up not yet performed is cancelled) and tells the host "PTT OFF";
    // repeated releases are silent. In the session's Disconnecting state it only clears
    // TransmitActive and leaves the radio keyed until the next release outside that state.
    virtual void pttOff() = 0;
    // TransmitActive: true from pttOn() until pttOff().
    virtual bool transmitActive() const = 0;
};

// The seven lamps that show what the station is sending.
enum class TransmitIndicator : std::uint8_t {
    Data,   // txtData: red for a repeated frame, green otherwise
    Ack,    // txtACK, green
    Nack,   // txtNACK, red
    Req,    // TxtREQ, red
    Start,  // txtStart, green
    Break,  // txtBreak, green
    Qrt,    // txtQRT, green
};
inline constexpr std::size_t kTransmitIndicatorCount = 7;

class TransmitIndicators {
public:
    virtual ~TransmitIndicators() = default;
    // All seven lamps white.
    virtual void resetIndicators() = 0;
    // Lights one lamp; repetition matters only for Data.
    virtual void lightIndicator(TransmitIndicator kind, bool repetition = false) = 0;
};

}  // namespace zolk
