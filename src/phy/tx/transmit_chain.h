// transmit_chain.h: one station's transmit side: the cells, the frame modulator, the symbol feeder
// (generator 1) and the test tone (generator 2), attached to the station's audio engine.
// Owns them and the order of setting up a transmission; keying PTT stays with the caller.
#pragma once

#include <cstdint>
#include <span>

#include "phy/common/audio_engine.h"
#include "phy/common/control_patterns.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/control_frame.h"
#include "phy/tx/frame_modulator.h"
#include "phy/tx/symbol_feeder.h"
#include "phy/tx/test_tone.h"
#include "phy/tx/tx_cells.h"

namespace zolk {

class TransmitChain {
public:
    // Attaches both generators to engine; all references must outlive the chain.
    TransmitChain(const TablesFile& tables, const DrawnTables& drawn, RandomSource& random,
                  AudioEngine& engine, const std::int16_t& driveLevelDb, PttRelease& ptt);
    ~TransmitChain();
    TransmitChain(const TransmitChain&) = delete;
    TransmitChain& operator=(const TransmitChain&) = delete;

    // Modulates one or two data frames (NetBytes each) of mode into slots 1 and 2 and readies
    // generator 1 with symbols of that mode; keying PTT then sends them. Must not be called
    // while a transmission is running: the feeder reads the cells until PTT off.
    // Throws std::invalid_argument for a bad mode, frame count or frame length.
    void prepareDataFrames(int mode, std::span<const std::span<const std::uint8_t>> frames);
    // Readies generator 1 for a 1024-sample tone-block signal whose ToneFrameTable columns (and
    // lead-in) the caller has written into cells().
    void prepareToneSignal();
    // Writes the control frame (or ping) of code (1..26) from table and readies generator 1 for
    // it. Throws std::invalid_argument for another code.
    void prepareControlFrame(const ControlPatternTable& table, int code, LeadInTones leadIn = kControlLeadInTones);
    // Readies generator 2, the tune-up tone.
    void prepareTestTone();

    TxCells& cells() { return m_cells; }
    SymbolFeeder& feeder() { return m_feeder; }

private:
    AudioEngine& m_engine;
    RandomSource& m_random;
    TxCells m_cells;
    FrameModulator m_modulator;
    SymbolFeeder m_feeder;
    TestTone m_testTone;
};

}  // namespace zolk
