#include "phy/tx/symbol_feeder.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "phy/common/mode_index.h"

namespace zolk {

SymbolFeeder::SymbolFeeder(const TxCells& cells, const AudioEngine& engine,
                           const std::int16_t& driveLevelDb, PttRelease& ptt)
    : m_cells(cells),
      m_engine(engine),
      m_driveLevelDb(driveLevelDb),
      m_ptt(ptt),
      m_out(kTxSampleRingLength) {}

void SymbolFeeder::setTransmitMode(int modeIndex) {
    m_mode = &modeRecord(ModeIndex(modeIndex));
}

void SymbolFeeder::setFramesPerBurst(int frames) {
    if (frames != 1 && frames != 2) {
        throw std::invalid_argument("frames per burst must be 1 or 2");
    }
    m_framesPerBurst = frames;
}

void SymbolFeeder::init() {
    m_kind = m_engine.signalKind();
    if (m_leadInToneArmed) {
        m_symbolCounter = (m_leadInToneLength == 1 ? -kLongToneBlocks : -kShortToneBlocks) -
                          kToneBlockLeadInBlocks;
        m_leadInToneLength = 0;
    } else if (m_kind == TxSignalKind::ToneBlocks) {
        m_symbolCounter = -kToneBlockLeadInBlocks;
    } else {
        m_symbolCounter = -static_cast<int>(m_mode->leadInSymbols);
    }
    if (m_kind == TxSignalKind::Symbols) {
        m_carrierSynthesizer.start(CarrierSymbolShape{
            .transformSize = m_mode->transformSize,
            .guardLength = m_mode->guardLength,
            .binsPerSymbol = m_mode->binsPerSymbol,
            .amplitudeDivisor = m_mode->amplitudeDivisor,
            .crestDb = m_mode->crestDb,
            .crossfade = m_mode->modeFamily == Family::MultiCarrier,
            .crossfadeLength = m_mode->crossfadeLength,
        });
    }
    m_tonePhase = 0.0;
    m_leadInCounter = 0;
}

int SymbolFeeder::signalEnd() const {
    if (m_kind == TxSignalKind::ToneBlocks) {
        return kToneSignalEnd;
    }
    return m_framesPerBurst == 1 ? m_mode->symbolLimit : 2 * m_mode->symbolLimit - 1;
}

void SymbolFeeder::next(TxSampleRing& ring) {
    const bool tones = m_kind == TxSignalKind::ToneBlocks;
    const std::size_t length =
        tones ? kToneBlockLength : static_cast<std::size_t>(m_mode->symbolLength);
    const auto out = std::span(m_out).first(length);
    std::fill(out.begin(), out.end(), 0.0f);
    const std::int16_t driveDb = m_driveLevelDb;
    const int end = signalEnd();
    bool release = false;
    ++m_symbolCounter;

    if (m_leadInToneArmed && m_symbolCounter < 1) {
        leadInTone(out, driveDb);
    } else if (m_symbolCounter > 0) {
        if (tones && m_symbolCounter == end + kToneBlockTailBlocks) {
            m_leadInToneArmed = false;
            release = true;
        } else if (!tones && m_symbolCounter == end + m_mode->tailSymbols) {
            release = true;
        } else if (m_symbolCounter < end) {
            if (tones) {
                m_toneSynthesizer.synthesize(m_cells.toneColumn(m_symbolCounter), driveDb, out);
            } else {
                m_carrierSynthesizer.synthesize(m_cells.frameSymbol(m_symbolCounter + 1), driveDb,
                                                out);
            }
        }
    } else {
        ++m_leadInCounter;
        if (tones) {
            m_toneSynthesizer.synthesize(m_cells.leadInSymbol(m_leadInCounter), driveDb, out);
        } else {
            m_carrierSynthesizer.synthesize(m_cells.leadInSymbol(m_leadInCounter), driveDb, out);
        }
    }

    if (!tones && m_symbolCounter == end - 1) {
        m_carrierSynthesizer.fadeOutEnd(out);
    }
    toRingSamples(out, std::span(ring).first(length));
    if (release) {
        m_ptt.pttOff();
    }
}

// The tone fills the whole ring period: every ring length in use holds a whole number of 1500 Hz
// cycles, so consecutive periods join without a phase step and without gaps.
void SymbolFeeder::leadInTone(std::span<float> out, std::int16_t txDriveLevelDb) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    constexpr double kStep = kTwoPi * 1500.0 / 48000.0;
    const double amplitude = std::numbers::sqrt2 * levelGain(3.0f, txDriveLevelDb);
    for (std::size_t i = 1; i <= out.size(); ++i) {
        out[i - 1] =
            static_cast<float>(amplitude * std::sin(static_cast<double>(i) * kStep + m_tonePhase));
    }
    m_tonePhase = std::fmod(m_tonePhase + kStep * static_cast<double>(out.size()), kTwoPi);
    hardClip(out);
}

}  // namespace zolk
