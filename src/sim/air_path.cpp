#include "sim/air_path.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/station_session.h"

namespace zolk::sim {
namespace {

ChannelSettings withoutNoise(ChannelSettings channel) {
    channel.snrDb = std::nullopt;
    return channel;
}

void checkSnr(std::optional<double> snrDb) {
    if (snrDb && !std::isfinite(*snrDb)) throw std::invalid_argument("S/N must be a finite number of dB");
}

}  // namespace

AirPath::AirPath(Station& sender, const Station& receiver, const ChannelSettings& channel,
                 std::optional<double> snrDb, ErasureRule erase)
    : m_sender(sender),
      m_receiver(receiver),
      m_model(withoutNoise(channel)),
      m_noise(channel.seed ^ 0x5DEECE66DULL),
      m_erase(std::move(erase)),
      m_snrDb(snrDb),
      m_latencySamples(static_cast<std::int64_t>(std::llround(channel.delayMs * kSamplesPerMs)) +
                       static_cast<std::int64_t>(m_model.latency())) {
    checkSnr(snrDb);
    m_sigmaLine.assign(static_cast<std::size_t>(m_latencySamples / kBlockSamples + 2), 0.0);
}

void AirPath::setSnrDb(std::optional<double> snrDb) {
    checkSnr(snrDb);
    m_snrDb = snrDb;
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
    // S/N against the power of the transmission on the air so far, so that every mode is heard at
    // the S/N asked for whatever its crest factor; between transmissions the last one's level.
    if (sound) {
        for (const float x : block) m_sumSquares += static_cast<double>(x) * x;
        m_samples += static_cast<double>(kBlockSamples);
    }
    const double power = m_samples > 0.0 ? m_sumSquares / m_samples : 0.0;
    const double sigma = m_snrDb && power > 0.0 ? std::sqrt(noiseVariance(power, *m_snrDb)) : 0.0;
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
