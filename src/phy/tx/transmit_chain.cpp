#include "phy/tx/transmit_chain.h"

#include <stdexcept>

#include "phy/tx/control_frame.h"

namespace zolk {

TransmitChain::TransmitChain(const TablesFile& tables, const DrawnTables& drawn,
                             RandomSource& random, AudioEngine& engine, const std::int16_t& driveLevelDb,
                             PttRelease& ptt)
    : m_engine(engine),
      m_random(random),
      m_modulator(drawn, tables, random, m_cells),
      m_feeder(m_cells, engine, driveLevelDb, ptt),
      m_testTone(driveLevelDb) {
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, &m_feeder);
    m_engine.attachGenerator(TxGenerator::TestTone, &m_testTone);
}

TransmitChain::~TransmitChain() {
    m_engine.attachGenerator(TxGenerator::SymbolFeeder, nullptr);
    m_engine.attachGenerator(TxGenerator::TestTone, nullptr);
}

void TransmitChain::prepareDataFrames(int mode,
                                      std::span<const std::span<const std::uint8_t>> frames) {
    if (frames.empty() || frames.size() > 2) {
        throw std::invalid_argument("a transmission carries one or two frames");
    }
    // Slot 1 first: its clearing reaches the first symbol of slot 2.
    for (std::size_t slot = 1; slot <= frames.size(); ++slot) {
        m_modulator.modulateFrame(mode, frames[slot - 1], static_cast<int>(slot));
    }
    m_feeder.setTransmitMode(mode);
    m_feeder.setFramesPerBurst(static_cast<int>(frames.size()));
    m_engine.selectGenerator(TxGenerator::SymbolFeeder);
    m_engine.setSignalKind(TxSignalKind::Symbols);
    m_engine.setSymbolLength(static_cast<std::size_t>(modeRecord(mode).symbolLength));
}

void TransmitChain::prepareToneSignal() {
    m_engine.selectGenerator(TxGenerator::SymbolFeeder);
    m_engine.setSignalKind(TxSignalKind::ToneBlocks);
}

void TransmitChain::prepareControlFrame(const ControlPatternTable& table, int code, LeadInTones leadIn) {
    buildControlFrame(table, code, m_random, m_cells, leadIn);
    prepareToneSignal();
}

void TransmitChain::prepareTestTone() {
    m_engine.selectGenerator(TxGenerator::TestTone);
    m_engine.setSignalKind(TxSignalKind::ToneBlocks);
}

}  // namespace zolk
