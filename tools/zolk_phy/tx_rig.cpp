#include "tx_rig.h"

#include <array>
#include <stdexcept>


namespace zolk::phytool {

// No sound card and nothing on screen; the rig itself plays the transmitter the feeder keys off.
struct TxRig::Surroundings final : AudioDevicePort, TransmitKeying, PttRelease {
    bool open(AudioDirection, const std::string&) override { return true; }
    void close(AudioDirection) override {}
    void flushPlayback() override {}
    std::vector<std::string> deviceNames(AudioDirection) const override { return {}; }

    bool transmitActive() const override { return keyed; }
    void pttOff() override { keyed = false; }

    bool keyed = false;
};

TxRig::TxRig(const TablesFile& tables, std::int16_t txDriveLevelDb)
    : m_drawn(m_random),
      m_driveLevelDb(txDriveLevelDb),
      m_surroundings(std::make_unique<Surroundings>()),
      m_engine(*m_surroundings, [](const std::string&) {}, *m_surroundings),
      m_chain(tables, m_drawn, m_random, m_engine, m_driveLevelDb, *m_surroundings) {}

TxRig::~TxRig() = default;

void TxRig::transmit(int mode, std::span<const std::span<const std::uint8_t>> frames,
                     const SampleSink& sink) {
    m_chain.prepareDataFrames(mode, frames);
    play(sink);
}

void TxRig::transmitControl(const ControlPatternTable& table, int code, bool leadInTone, const SampleSink& sink) {
    m_chain.prepareControlFrame(table, code);
    m_chain.feeder().setLeadInToneArmed(leadInTone);
    play(sink);
}

void TxRig::play(const SampleSink& sink) {
    // The key-up buffer is silent; every later buffer plays the ring, and the buffer in which
    // the feeder releases PTT is cut at that sample (its rest is silence in any case).
    std::array<std::int16_t, 2 * kAudioBlockLength> stereo{};
    std::array<std::int16_t, kAudioBlockLength> mono{};
    m_surroundings->keyed = true;
    while (m_surroundings->keyed) {
        m_engine.onPlaybackRequest(stereo);
        std::size_t played = kAudioBlockLength;
        if (!m_surroundings->keyed) {
            // PTT dropped at a ring wrap inside this buffer; the ring is longer than a buffer, so
            // the read index has moved exactly the samples played after that wrap.
            played = kAudioBlockLength - m_engine.txReadIndex();
        }
        for (std::size_t i = 0; i < played; ++i) {
            mono[i] = stereo[2 * i];
        }
        sink(std::span(mono).first(played));
    }
}

}  // namespace zolk::phytool
