#include "phy/rx/receive_chain.h"

#include <array>
#include <chrono>

#include "phy/common/constellation.h"
#include "phy/common/mode_table.h"
#include "phy/common/numeric.h"
#include "phy/fec/mode_fec.h"
#include "phy/rx/carrier_demodulator.h"
#include "phy/rx/carrier_detector.h"
#include "phy/rx/tone_demodulator.h"
#include "phy/rx/tone_detector.h"

namespace zolk {

namespace {

constexpr std::chrono::milliseconds kConstellationHold{9000};

// A detection this late in the state is the second frame of a two-frame burst.
std::uint8_t decisionFlagFor(const ModeRecord& r, std::uint8_t framesPerBurst, std::int32_t stateTicks) {
    return framesPerBurst == 2 && stateTicks > 2 * r.FrameLengthUnits + 180 ? 2 : 1;
}

std::span<const Complex, kQamPoints> qamColumn() {
    static const std::array<Complex, kQamPoints> points = [] {
        std::array<Complex, kQamPoints> column{};
        for (std::size_t v = 0; v < column.size(); ++v) column[v] = ConstellationTable[v][4];
        return column;
    }();
    return points;
}

// FrameSymbols of a detected multi-carrier frame; returns the carrier error it was cut with. The
// detection's timing and error come from uncorrected FFT frames, which a large carrier error blurs
// (0.3 bin at 15 Hz in the 64-bin modes spreads the carriers into each other). So the frame is cut
// corrected at the detected timing and one and two FFT frame steps either side, and the cut whose
// header cells agree best is kept. FFT frames lie one step (8 samples in the 64-bin modes) apart,
// as far as the whole guard, while an echo leaves only the part of the guard beyond its delay free
// of the neighbouring symbols (2 of 8 samples behind a 2 ms echo): the cuts at every sample within
// a step of the best are compared too, each by its Mer with its two neighbours', so the middle of
// the clean stretch wins over a lucky single cut. The error the header cells still show is
// removed by a last cut.
float cutCarrierFrame(ReceiveFrontEnd& frontEnd, const ModeTables& tables, std::uint32_t p, float shift_hz) {
    const ModeRecord& r = tables.record();
    const long step = r.BinsPerSymbol / 8;
    const auto cutAt = [&](long offset) {
        const long ring = static_cast<long>(kRingLength);
        return static_cast<std::uint32_t>(((static_cast<long>(p) + offset) % ring + ring) % ring);
    };
    const auto merAt = [&](long offset) {
        frontEnd.familyOneCorrectedReExtraction(tables.mode, cutAt(offset), -shift_hz);
        return HeaderMer(tables, frontEnd.frameSymbolStore());
    };
    long coarse = 0;
    float coarseMer = kNoValue;
    for (long k = -2; k <= 2; ++k) {
        const float mer = merAt(k * step);
        if (mer > coarseMer) {
            coarseMer = mer;
            coarse = k * step;
        }
    }
    std::array<float, 2 * kMaxBins / 8 + 1> fine{};  // offsets coarse - step .. coarse + step
    for (long d = -step; d <= step; ++d) {
        fine[static_cast<std::size_t>(d + step)] = d == 0 ? coarseMer : merAt(coarse + d);
    }
    long best = coarse;
    float bestSum = kNoValue;
    for (long d = 1 - step; d <= step - 1; ++d) {
        const auto i = static_cast<std::size_t>(d + step);
        const float sum = fine[i - 1] + fine[i] + fine[i + 1];
        if (sum > bestSum) {
            bestSum = sum;
            best = coarse + d;
        }
    }
    frontEnd.familyOneCorrectedReExtraction(tables.mode, cutAt(best), -shift_hz);
    const float refined = shift_hz + ResidualFrequencyShift(tables, frontEnd.frameSymbolStore());
    frontEnd.familyOneCorrectedReExtraction(tables.mode, cutAt(best), -refined);
    return refined;
}

}  // namespace

// Family 1: the Mer detector, stage 1 on FrameSymbols and the header-cell S/N.
class ReceiveChain::CarrierFrame : public DetectedFrameSource {
public:
    CarrierFrame(ReceiveFrontEnd& frontEnd, const TablesFile& tables, const DrawnTables& drawn)
        : m_frontEnd(frontEnd), m_tables(tables), m_drawn(drawn), m_demodulator(qamColumn()) {}

    std::optional<CarrierDetection> detect(int mode, int slot) {
        return m_detector.DetectFrame(m_tables[mode], m_drawn, slot, m_frontEnd.symbolSpectraStore(static_cast<std::size_t>(slot)),
                                      m_frontEnd.frameIndex(static_cast<std::size_t>(slot)), m_frontEnd.ringIndex());
    }
    void begin(int mode, float shift_hz, std::uint8_t decision) {
        m_mode = mode;
        m_shift_hz = shift_hz;
        m_decision = decision;
    }

    void buildSoftValues() override { m_demodulator.Stage1(m_tables[m_mode], m_frontEnd.frameSymbolStore()); }
    std::span<const float> softValues() const override { return m_demodulator.softBits(); }
    float estimateSnrDb() override { return EstimateSnr(m_tables[m_mode], m_frontEnd.frameSymbolStore()); }
    float shiftEstimateHz() const override { return m_shift_hz; }
    std::uint8_t decisionFlag() const override { return m_decision; }
    std::span<const Complex> constellationCells() const override { return m_demodulator.cells(); }
    std::span<const float> constellationSoftValues() const override { return {}; }

private:
    ReceiveFrontEnd& m_frontEnd;
    const TablesFile& m_tables;
    const DrawnTables& m_drawn;
    CarrierFrameDetector m_detector;
    CarrierDemodulator m_demodulator;
    int m_mode = 5;
    float m_shift_hz = 0.0f;
    std::uint8_t m_decision = 1;
};

// Family 2: the header-tone detector, stage 1 on the corrected magnitude spectra.
class ReceiveChain::ToneFrame : public DetectedFrameSource {
public:
    ToneFrame(ReceiveFrontEnd& frontEnd, const TablesFile& tables) : m_frontEnd(frontEnd), m_tables(tables) {}

    std::optional<ToneDetection> detect(int mode, int slot) {
        return m_detector.DetectToneFrame(m_tables[mode], slot, m_frontEnd.symbolPowerStore(static_cast<std::size_t>(slot)),
                                          m_frontEnd.frameIndex(static_cast<std::size_t>(slot)), m_frontEnd.ringIndex());
    }
    float estimateShift(int mode) const { return EstimateToneShift(m_tables[mode], m_frontEnd.snapshotStore()); }
    void begin(int mode, float shift_hz, std::uint8_t decision) {
        m_mode = mode;
        m_shift_hz = shift_hz;
        m_decision = decision;
    }

    void buildSoftValues() override { m_demodulator.Stage1(m_tables[m_mode], m_frontEnd.snapshotStore()); }
    std::span<const float> softValues() const override { return m_demodulator.softBits(); }
    float estimateSnrDb() override { return EstimateToneSnr(m_tables[m_mode], m_frontEnd.snapshotStore()); }
    float shiftEstimateHz() const override { return m_shift_hz; }
    std::uint8_t decisionFlag() const override { return m_decision; }
    std::span<const Complex> constellationCells() const override { return {}; }
    std::span<const float> constellationSoftValues() const override { return m_demodulator.deinterleavedBits(); }

private:
    ReceiveFrontEnd& m_frontEnd;
    const TablesFile& m_tables;
    ToneFrameDetector m_detector;
    ToneDemodulator m_demodulator;
    int m_mode = 0;
    float m_shift_hz = 0.0f;
    std::uint8_t m_decision = 1;
};

ReceiveChain::ReceiveChain(ReceiveFrontEnd& frontEnd, const TablesFile& tables, const DrawnTables& drawn,
                           ReceiveChainSession& session, UiSink& ui, TimerPort& timers)
    : m_frontEnd(frontEnd),
      m_tables(tables),
      m_drawn(drawn),
      m_session(session),
      m_timers(timers),
      m_carrier(std::make_unique<CarrierFrame>(frontEnd, tables, drawn)),
      m_tone(std::make_unique<ToneFrame>(frontEnd, tables)),
      m_fec(tables, drawn.PseudoRandomBits()),
      m_acceptance(frontEnd, m_fec, session, ui) {}

ReceiveChain::~ReceiveChain() = default;

SearchResult ReceiveChain::search(int mode, int slot) {
    if (mode < 0 || mode >= kModeCount || slot < 1 || slot >= static_cast<int>(kDetectorSlots)) return {};
    const ModeRecord& r = modeRecord(mode);
    const std::uint8_t burst = m_session.framesPerBurst();
    const bool monitor = m_session.monitorMode();
    if (r.ModeFamily == Family::MultiCarrier) {
        const auto found = m_carrier->detect(mode, slot);
        if (!found) return {};
        const std::uint8_t decision = decisionFlagFor(r, burst, m_session.stateTicks());
        const float shift_hz = cutCarrierFrame(m_frontEnd, m_tables[mode], found->ringIndex, found->FrequencyShift);
        m_carrier->begin(mode, shift_hz, decision);
        m_current = m_carrier.get();
        return afterDetection(mode, !monitor && (decision == 2 || burst == 1));
    }
    const auto found = m_tone->detect(mode, slot);
    if (!found) return {};
    const std::uint8_t decision = decisionFlagFor(r, burst, m_session.stateTicks());
    m_frontEnd.robustReExtraction(mode, found->ringIndex);
    const float shift_hz = m_tone->estimateShift(mode);
    m_frontEnd.robustCorrectedReExtraction(mode, found->ringIndex, -shift_hz);
    m_tone->begin(mode, shift_hz, decision);
    m_current = m_tone.get();
    return afterDetection(mode, !monitor && (burst == 1 || decision == 2));
}

SearchResult ReceiveChain::afterDetection(int mode, bool decodeNow) {
    m_detectedMode = mode;
    // The constellation is cleared 9 s after the last detection.
    m_timers.stop(TimerId::BorrarConstelacion);
    m_timers.start(TimerId::BorrarConstelacion, kConstellationHold);
    if (!decodeNow) {
        m_session.startStagedDecode();
        return {SearchOutcome::Staged, std::nullopt};
    }
    std::optional<FrameVerdict> verdict;
    for (int stage = 1; stage <= kDecodeStages; ++stage) verdict = decodeStage(stage);
    return {SearchOutcome::Decoded, verdict};
}

std::optional<FrameVerdict> ReceiveChain::decodeStage(int stage) {
    if (m_current == nullptr) return std::nullopt;
    return m_acceptance.decodeStage(stage, m_detectedMode, *m_current);
}

}  // namespace zolk
