#include "sim/air_path.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/station_session.h"
#include "phy/tx/symbol_synthesis.h"

namespace zolk::sim {
namespace {

ChannelSettings withoutNoise(ChannelSettings channel) {
    channel.snrDb = std::nullopt;
    return channel;
}

void checkSnr(std::optional<double> snrDb) {
    if (snrDb && !std::isfinite(*snrDb)) throw std::invalid_argument("S/N must be a finite number of dB");
}

constexpr double kFullScale = 32767.0;
constexpr double kReferenceCrestDb = 10.0;

}  // namespace

double stationPeakAmplitude(int driveLevelDb) {
    // The level rule scales a signal of unit mean power; a 10 dB-crest one peaks at sqrt(10) of it.
    const auto gain = static_cast<double>(levelGain(static_cast<float>(kReferenceCrestDb), static_cast<std::int16_t>(driveLevelDb)));
    return kFullScale * gain * std::sqrt(std::pow(10.0, kReferenceCrestDb / 10.0));
}

double stationPeakNoiseVariance(double peakAmplitude, double snrDb) {
    return noiseVariance(peakAmplitude * peakAmplitude / std::pow(10.0, kReferenceCrestDb / 10.0), snrDb);
}

AirPath::AirPath(Station& sender, const Station& receiver, const ChannelSettings& channel,
                 std::optional<double> snrDb, ErasureRule erase, SnrScale scale)
    : m_sender(sender),
      m_receiver(receiver),
      m_model(withoutNoise(channel)),
      m_noise(channel.seed ^ 0x5DEECE66DULL),
      m_erase(std::move(erase)),
      m_snrDb(snrDb),
      m_scale(scale),
      m_latencySamples(static_cast<std::int64_t>(std::llround(channel.delayMs * kSamplesPerMs)) +
                       static_cast<std::int64_t>(m_model.latency())) {
    checkSnr(snrDb);
    m_sigmaLine.assign(static_cast<std::size_t>(m_latencySamples / kBlockSamples + 2), 0.0);
}

void AirPath::setSnrDb(std::optional<double> snrDb) {
    checkSnr(snrDb);
    m_snrDb = snrDb;
}

double AirPath::noiseVarianceNow() const {
    if (!m_snrDb) return 0.0;
    if (m_scale == SnrScale::StationPeak) {
        // A receiver's floor: there whether or not anyone transmits, at the sender's drive level now.
        return stationPeakNoiseVariance(stationPeakAmplitude(m_sender.settings().txDriveLevel), *m_snrDb);
    }
    // Against the power of the transmission on the air so far, so that every mode is heard at the
    // S/N asked for whatever its crest factor; between transmissions the last one's level.
    const double power = m_samples > 0.0 ? m_sumSquares / m_samples : 0.0;
    return power > 0.0 ? noiseVariance(power, *m_snrDb) : 0.0;
}

void AirPath::process(std::span<float, kBlockSamples> block) {
    // A transmission is a run of blocks with sound in them, as the sender keys and releases.
    const bool sound = std::any_of(block.begin(), block.end(), [](float x) { return x != 0.0F; });
    if (sound && !m_inTransmission) {
        ++m_transmissions;
        m_sumSquares = 0.0;
        m_samples = 0.0;
        m_erasing = m_erase && m_erase({m_transmissions, m_sender.session().arq().state()});
        if (m_erasing) ++m_erased;
    }
    m_inTransmission = sound;
    if (sound) {
        for (const float x : block) m_sumSquares += static_cast<double>(x) * x;
        m_samples += static_cast<double>(kBlockSamples);
    }
    const double sigma = std::sqrt(noiseVarianceNow());
    m_sigmaLine[static_cast<std::size_t>(m_blocksIn % static_cast<std::int64_t>(m_sigmaLine.size()))] = sigma;
    ++m_blocksIn;
    if (m_erasing) std::fill(block.begin(), block.end(), 0.0F);

    m_model.process(block);
    for (float& x : block) {
        // The sigma chosen when this sample's origin was sent; silence before the first block.
        const std::int64_t origin = m_samplesOut++ - m_latencySamples;
        if (origin < 0) continue;
        const auto line = static_cast<std::int64_t>(m_sigmaLine.size());
        const double s = m_sigmaLine[static_cast<std::size_t>((origin / kBlockSamples) % line)];
        if (s > 0.0) x += static_cast<float>(s * m_noise.next());
    }
    // Half duplex: a keyed station hears nothing.
    if (m_receiver.transmitActive()) std::fill(block.begin(), block.end(), 0.0F);
}

}  // namespace zolk::sim
