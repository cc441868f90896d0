#include "reference_modem.h"

#include <codec2/freedv_api.h>
#include <codec2/comp.h>

#include <array>
#include <random>
#include <stdexcept>
#include <vector>

#include "rate_converter.h"

namespace zolk::bench {
namespace {

constexpr std::array kModes{
    ReferenceMode{"DATAC0", FREEDV_MODE_DATAC0},
    ReferenceMode{"DATAC1", FREEDV_MODE_DATAC1},
    ReferenceMode{"DATAC3", FREEDV_MODE_DATAC3},
};

constexpr double kLeadSeconds = 0.25;
constexpr double kTailSeconds = 0.75;
constexpr int kModemRate = 8000;

::freedv* openMode(const ReferenceMode& mode) {
    ::freedv* f = freedv_open(mode.freedvMode);
    if (f == nullptr) throw std::runtime_error(std::string("codec2 cannot open ") + mode.name);
    freedv_set_frames_per_burst(f, 1);
    return f;
}

}  // namespace

std::span<const ReferenceMode> referenceModes() { return kModes; }

ReferenceModem::ReferenceModem(const ReferenceMode& mode) : m_mode(mode), m_tx(openMode(mode)) {}

ReferenceModem::~ReferenceModem() { freedv_close(m_tx); }

double ReferenceModem::bitRate() const {
    const int payloadBits = freedv_get_bits_per_modem_frame(m_tx) - 16;
    return payloadBits * static_cast<double>(kModemRate) / freedv_get_n_tx_modem_samples(m_tx);
}

TrialResult ReferenceModem::trial(sim::ChannelSettings channel, std::uint64_t payloadSeed) {
    const int frameBytes = freedv_get_bits_per_modem_frame(m_tx) / 8;
    std::vector<unsigned char> frame(static_cast<std::size_t>(frameBytes));
    std::mt19937_64 random(payloadSeed);
    for (int i = 0; i < frameBytes - 2; ++i) frame[static_cast<std::size_t>(i)] = static_cast<unsigned char>(random());
    const unsigned short crc = freedv_gen_crc16(frame.data(), frameBytes - 2);
    frame[static_cast<std::size_t>(frameBytes - 2)] = static_cast<unsigned char>(crc >> 8);
    frame[static_cast<std::size_t>(frameBytes - 1)] = static_cast<unsigned char>(crc & 0xff);

    std::vector<float> audio8k(static_cast<std::size_t>(kLeadSeconds * kModemRate), 0.0F);
    std::vector<short> part(static_cast<std::size_t>(freedv_get_n_tx_preamble_modem_samples(m_tx) +
                                                     freedv_get_n_tx_modem_samples(m_tx) +
                                                     freedv_get_n_tx_postamble_modem_samples(m_tx)));
    const auto append = [&](int count) { audio8k.insert(audio8k.end(), part.begin(), part.begin() + count); };
    append(freedv_rawdatapreambletx(m_tx, part.data()));
    freedv_rawdatatx(m_tx, part.data(), frame.data());
    append(freedv_get_n_tx_modem_samples(m_tx));
    append(freedv_rawdatapostambletx(m_tx, part.data()));
    audio8k.resize(audio8k.size() + static_cast<std::size_t>(kTailSeconds * kModemRate), 0.0F);

    auto audio = upsample(audio8k);
    channel.signalPower = sim::onAirPower(audio);
    sim::ChannelModel model(channel);
    audio.resize(audio.size() + model.latency(), 0.0F);
    model.process(audio);
    const auto heard = downsample(audio);

    TrialResult result;
    ::freedv* rx = openMode(m_mode);
    std::vector<COMP> in(static_cast<std::size_t>(freedv_get_n_max_modem_samples(rx)));
    std::vector<unsigned char> decoded(static_cast<std::size_t>(frameBytes));
    for (std::size_t pos = 0;;) {
        const auto nin = static_cast<std::size_t>(freedv_nin(rx));
        if (pos + nin > heard.size()) break;
        for (std::size_t i = 0; i < nin; ++i) in[i] = COMP{heard[pos + i], 0.0F};
        pos += nin;
        const int bytes = freedv_rawdatacomprx(rx, decoded.data(), in.data());
        if (bytes == frameBytes && decoded == frame) {
            int sync = 0;
            float snr = 0.0F;
            freedv_get_modem_stats(rx, &sync, &snr);
            result.ok = true;
            result.snrEstimateDb = snr;
            break;
        }
    }
    freedv_close(rx);
    return result;
}

}  // namespace zolk::bench
