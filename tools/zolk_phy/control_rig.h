// control_rig.h: a receiving station's control-frame listening without a sound card or session:
// the front-end and the control detector running at every spectrogram row over one set of codes,
// wide or narrow. Owns both; what becomes of a detection is the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "phy/common/control_patterns.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/rx/control_detector.h"
#include "phy/rx/receive_front_end.h"

namespace zolk::phytool {

class ControlRig final : public FrontEndClient {
public:
    // The detection and the number of baseband samples (3000 per second) from the start of the
    // capture to the last sample of the detected frame.
    using DetectionSink = std::function<void(const ControlDetection&, std::int64_t endSample)>;

    // table must outlive the rig. everyTick runs the detector at every session tick instead of
    // every spectrogram row (as a station does while it waits for the turn).
    ControlRig(const ControlPatternTable& table, std::vector<std::uint8_t> codes, ControlSearch search,
               DetectionSink sink, bool everyTick = false);

    void setSink(DetectionSink sink) { m_sink = std::move(sink); }
    void capture(std::span<const float, kAudioBlockLength> block) { m_frontEnd.processCaptureBlock(block); }

    ControlDetector& detector() { return m_detector; }
    ReceiveFrontEnd& frontEnd() { return m_frontEnd; }
    // Detector runs so far, and the largest hit count of any run (with countAllHits on).
    std::int64_t runs() const { return m_runs; }
    int mostHits() const { return m_mostHits; }

    // FrontEndClient
    ReceiveConditions receiveConditions() const override;
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override;

private:
    RandomSource m_random;
    DrawnTables m_drawn;
    ReceiveFrontEnd m_frontEnd;
    ControlDetector m_detector;
    const ControlPatternTable& m_table;
    std::vector<std::uint8_t> m_codes;
    ControlSearch m_search;
    DetectionSink m_sink;
    bool m_everyTick;
    std::int64_t m_ticks = 0;
    std::int64_t m_runs = 0;
    int m_mostHits = 0;
};

}  // namespace zolk::phytool
