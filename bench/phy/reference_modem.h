// reference_modem.h: codec2's raw-data OFDM modes as a yardstick, sent through our channel model.
// Owns one transmission's audio per trial; the channel settings and the counting are the caller's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "modem_under_test.h"
#include "sim/channel_model.h"

struct freedv;  // codec2's modem state

namespace zolk::bench {

struct ReferenceMode {
    const char* name;
    int freedvMode;
};

// The raw-data modes the installed library provides.
std::span<const ReferenceMode> referenceModes();

class ReferenceModem final : public ModemUnderTest {
public:
    explicit ReferenceModem(const ReferenceMode& mode);
    ~ReferenceModem();
    ReferenceModem(const ReferenceModem&) = delete;
    ReferenceModem& operator=(const ReferenceModem&) = delete;

    std::string name() const override { return m_mode.name; }
    // Payload bits (frame less its CRC) over the frame's airtime, preamble and postamble excluded.
    double bitRate() const override;

    // One burst (preamble, one frame with a random payload and CRC, postamble) between stretches
    // of silence, at 48000 Hz through the channel, decoded by a fresh receiver. The S/N estimate
    // is the library's own (quoted by it in 3000 Hz).
    TrialResult trial(sim::ChannelSettings channel, std::uint64_t payloadSeed) override;

private:
    ReferenceMode m_mode;
    ::freedv* m_tx;
};

}  // namespace zolk::bench
