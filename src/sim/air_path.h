// air_path.h: one direction of a radio link between two simulated stations: the channel model,
// noise at a stated S/N on one of two scales, chosen transmissions blanked, and the receiver muted
// while its own transmitter is keyed (half duplex, as a radio is).
// Owns its channel model and noise source; the stations belong to the caller and outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/station.h"
#include "session/arq_session.h"
#include "sim/channel.h"
#include "sim/channel_model.h"
#include "sim/gaussian_noise.h"

namespace zolk::sim {

// A transmission as the erasure rule sees it at its first block: its number on this path (1 for
// the sender's first) and the sender's session state then (Sending for a data burst or Idle,
// Receiving for the answer to a burst, Calling for a call...).
struct TransmissionStart {
    int index;
    SessionState senderState;
};
// True for a transmission that never reaches the receiver.
using ErasureRule = std::function<bool(const TransmissionStart&)>;

// What the stated S/N is measured against.
enum class SnrScale : std::uint8_t {
    // Each transmission's own mean power: every mode is heard at the stated S/N whatever its crest
    // factor (the scale of the modes' SnrThreshold and of zolk-phy sweep).
    TransmissionMean,
    // A fixed noise floor, as a receiver has: the S/N a signal of 10 dB crest factor at the sender's
    // peak level would have. Each mode is then heard at its own mean power against that floor.
    StationPeak,
};

// The sender's peak level in 16-bit scale: the peak the transmitter's level rule gives a signal of
// 10 dB crest factor at this drive level.
double stationPeakAmplitude(int driveLevelDb);
// The variance of the white noise at 48000 Hz that puts a 10 dB-crest signal of this peak at snrDb.
double stationPeakNoiseVariance(double peakAmplitude, double snrDb);

class AirPath final : public ChannelStage {
public:
    // channel's snrDb and signalPower are not used: noise comes from snrDb on the given scale.
    // Throws std::invalid_argument for a channel the model refuses or a non-finite S/N.
    AirPath(Station& sender, const Station& receiver, const ChannelSettings& channel,
            std::optional<double> snrDb, ErasureRule erase = nullptr,
            SnrScale scale = SnrScale::TransmissionMean);

    void process(std::span<float, kBlockSamples> block) override;

    // Takes effect for the audio sent from now on (what is on its way keeps its noise).
    void setSnrDb(std::optional<double> snrDb);
    int transmissions() const { return m_transmissions; }
    int erased() const { return m_erased; }

private:
    double noiseVarianceNow() const;

    Station& m_sender;
    const Station& m_receiver;
    ChannelModel m_model;
    GaussianNoise m_noise;
    ErasureRule m_erase;
    std::optional<double> m_snrDb;
    SnrScale m_scale;

    int m_transmissions = 0;
    int m_erased = 0;
    bool m_inTransmission = false;
    bool m_erasing = false;
    double m_sumSquares = 0.0;  // of the current (or last) transmission so far
    double m_samples = 0.0;
    // Noise sigma chosen for each sent block, kept until that block comes out of the model.
    std::vector<double> m_sigmaLine;
    std::int64_t m_blocksIn = 0;
    std::int64_t m_samplesOut = 0;
    std::int64_t m_latencySamples;
};

}  // namespace zolk::sim
