#include "phy/rx/receive_chain.h"

#include "phy/common/contract.h"
#include "phy/common/mode_table.h"
#include "phy/fec/mode_fec.h"
#include "phy/rx/carrier_demodulator.h"
#include "phy/rx/carrier_frame_cut.h"
#include "phy/rx/carrier_detector.h"
#include "phy/rx/tone_demodulator.h"
#include "phy/rx/tone_detector.h"

namespace zolk {

// Family 1: the Mer detector, stage 1 on kFrameSymbols and the header-cell S/N.
class ReceiveChain::CarrierFrame : public DetectedFrameSource {
public:
    CarrierFrame(ReceiveFrontEnd& frontEnd, const TablesFile& tables, const DrawnTables& drawn)
        : m_frontEnd(frontEnd),
          m_tables(tables),
          m_drawn(drawn),
          m_turnSymbols(tables),
          m_demodulator(qamColumn()) {}

    std::optional<CarrierDetection> detect(int mode, int slot) {
        return m_detector.detectFrame(m_tables[mode], m_drawn, slot,
                                      m_frontEnd.symbolSpectraStore(static_cast<std::size_t>(slot)),
                                      m_frontEnd.frameIndex(static_cast<std::size_t>(slot)),
                                      m_frontEnd.ringIndex(), m_frontEnd.searchFrames(modeRecord(mode).binsPerSymbol));
    }
    float cut(int mode, const CarrierDetection& found) {
        return cutCarrierFrame(m_frontEnd, m_tables[mode], m_turnSymbols(mode), found.ringIndex,
                               found.frequencyShift)
            .shiftHz;
    }
    void begin(int mode, float shiftHz) {
        m_mode = mode;
        m_shiftHz = shiftHz;
    }

    void buildSoftValues() override {
        m_demodulator.stage1(m_tables[m_mode], m_frontEnd.frameSymbolStore());
    }
    std::span<const float> softValues() const override { return m_demodulator.softBits(); }
    float estimateSnrDb() override {
        return estimateSnr(m_tables[m_mode], m_frontEnd.frameSymbolStore());
    }
    float shiftEstimateHz() const override { return m_shiftHz; }
    std::span<const Complex> constellationCells() const override { return m_demodulator.cells(); }
    std::span<const float> constellationSoftValues() const override { return {}; }

private:
    ReceiveFrontEnd& m_frontEnd;
    const TablesFile& m_tables;
    const DrawnTables& m_drawn;
    HeaderTurnSymbols m_turnSymbols;
    CarrierFrameDetector m_detector;
    CarrierDemodulator m_demodulator;
    int m_mode = 5;
    float m_shiftHz = 0.0f;
};

// Family 2: the header-tone detector, stage 1 on the corrected magnitude spectra.
class ReceiveChain::ToneFrame : public DetectedFrameSource {
public:
    ToneFrame(ReceiveFrontEnd& frontEnd, const TablesFile& tables) : m_frontEnd(frontEnd), m_tables(tables) {}

    std::optional<ToneDetection> detect(int mode, int slot) {
        return m_detector.detectToneFrame(
            m_tables[mode], slot, m_frontEnd.symbolPowerStore(static_cast<std::size_t>(slot)),
            m_frontEnd.frameIndex(static_cast<std::size_t>(slot)), m_frontEnd.ringIndex(),
            m_frontEnd.searchFrames(modeRecord(mode).binsPerSymbol));
    }
    float estimateShift(int mode, const ToneDetection& found) const {
        return estimateToneShift(m_tables[mode], m_frontEnd.snapshotStore(), found.searchHz);
    }
    void begin(int mode, float shiftHz) {
        m_mode = mode;
        m_shiftHz = shiftHz;
    }

    void buildSoftValues() override {
        m_demodulator.stage1(m_tables[m_mode], m_frontEnd.snapshotStore());
    }
    std::span<const float> softValues() const override { return m_demodulator.softBits(); }
    float estimateSnrDb() override {
        return estimateToneSnr(m_tables[m_mode], m_frontEnd.snapshotStore());
    }
    float shiftEstimateHz() const override { return m_shiftHz; }
    std::span<const Complex> constellationCells() const override { return {}; }
    std::span<const float> constellationSoftValues() const override { return m_demodulator.deinterleavedBits(); }

private:
    ReceiveFrontEnd& m_frontEnd;
    const TablesFile& m_tables;
    ToneFrameDetector m_detector;
    ToneDemodulator m_demodulator;
    int m_mode = 0;
    float m_shiftHz = 0.0f;
};

ReceiveChain::ReceiveChain(ReceiveFrontEnd& frontEnd, const TablesFile& tables,
                           const DrawnTables& drawn)
    : m_frontEnd(frontEnd),
      m_tables(tables),
      m_drawn(drawn),
      m_carrier(std::make_unique<CarrierFrame>(frontEnd, tables, drawn)),
      m_tone(std::make_unique<ToneFrame>(frontEnd, tables)),
      m_fec(tables, drawn.pseudoRandomBits()),
      m_acceptance(frontEnd, m_fec) {}

ReceiveChain::~ReceiveChain() = default;

SearchResult ReceiveChain::search(const SearchRequest& request) {
    const int mode = request.mode;
    const int slot = request.slot;
    expects(slot >= 1 && slot < static_cast<int>(kDetectorSlots), "a search names a detector slot 1..14");
    if (modeRecord(mode).modeFamily == Family::MultiCarrier) {
        const auto found = m_carrier->detect(mode, slot);
        if (!found) return {};
        const float shiftHz = m_carrier->cut(mode, *found);
        m_carrier->begin(mode, shiftHz);
        m_current = m_carrier.get();
        return afterDetection(request);
    }
    const auto found = m_tone->detect(mode, slot);
    if (!found) return {};
    m_frontEnd.robustReExtraction(mode, found->ringIndex);
    const float shiftHz = m_tone->estimateShift(mode, *found);
    m_frontEnd.robustCorrectedReExtraction(mode, found->ringIndex, -shiftHz);
    m_tone->begin(mode, shiftHz);
    m_current = m_tone.get();
    return afterDetection(request);
}

SearchResult ReceiveChain::afterDetection(const SearchRequest& request) {
    m_detectedMode = request.mode;
    m_detectedPlace = request.place;
    if (!request.decodeNow) return {SearchOutcome::Staged, std::nullopt};
    std::optional<FrameVerdict> verdict;
    for (int stage = 1; stage <= kDecodeStages; ++stage) verdict = decodeStage(stage);
    return {SearchOutcome::Decoded, verdict};
}

std::optional<FrameVerdict> ReceiveChain::decodeStage(int stage) {
    expects(m_current != nullptr, "a decode stage follows a detection");
    return m_acceptance.decodeStage(stage, m_detectedMode, m_detectedPlace, *m_current);
}

}  // namespace zolk
