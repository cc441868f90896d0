#include "phy/fec/mode_fec.h"

#include "phy/common/mode_index.h"

namespace zolk {

FecConfig fecConfigForMode(int mode, const TablesFile& tables,
                           std::span<const std::uint8_t> pseudoRandomBits) {
    const ModeRecord& r = modeRecord(ModeIndex(mode));
    const ModeTables& t = tables[mode];
    FecConfig config;
    config.constraint = r.turboConstraint;
    config.rateIndex = r.codeRateIndex;
    config.infoBits = r.infoBits;
    config.codedBits = r.codedBits;
    config.turboInterleaver = t.turboInterleaver;
    config.bitInterleaver = t.bitInterleaver;
    config.pseudoRandomBits = pseudoRandomBits;
    return config;
}

ModeTurboDecoder::ModeTurboDecoder(const TablesFile& tables,
                                   std::span<const std::uint8_t> pseudoRandomBits)
    : m_tables(tables),
      m_pseudoRandomBits(pseudoRandomBits),
      m_decoder(kMaxModeInfoBits, kMaxModeCodedBits),
      m_frameBytes(static_cast<std::size_t>(kMaxModeInfoBits / 8)) {}

void ModeTurboDecoder::fecStep(int step, int mode, std::span<const float> softValues) {
    if (step == 1) {
        m_decoder.setUp(fecConfigForMode(mode, m_tables, m_pseudoRandomBits), softValues);
        // Outer stage: without parity in any mode the net bytes are the information bytes.
        m_netBytes = modeRecord(mode).netBytes;
        return;
    }
    m_decoder.fecStep(step);
    if (step == TurboDecoder::kLastIterationStep) {
        m_decoder.finish(std::span<std::uint8_t>(m_frameBytes).first(m_netBytes));
    }
}

std::span<const std::uint8_t> ModeTurboDecoder::frameBytes() const {
    return std::span<const std::uint8_t>(m_frameBytes).first(static_cast<std::size_t>(m_netBytes));
}

}  // namespace zolk
