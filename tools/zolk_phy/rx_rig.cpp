#include "rx_rig.h"

#include <algorithm>
#include <utility>

#include "phy/common/mode_table.h"

namespace zolk::phytool {

RxRig::RxRig(const TablesFile& tables, const RxRigOptions& options, FrameSink sink)
    : m_options(options),
      m_sink(std::move(sink)),
      m_drawn(m_random),
      m_frontEnd(m_drawn, *this),
      m_chain(m_frontEnd, tables, m_drawn, *this, *this, *this),
      m_mode(options.monitor ? 1 : options.mode) {}

void RxRig::capture(std::span<const float, kAudioBlockLength> block) {
    const bool silent = std::all_of(block.begin(), block.end(), [](float x) { return x == 0.0f; });
    if (!silent && m_silent) m_stateTicks = 0;
    m_silent = silent;
    m_frontEnd.processCaptureBlock(block);
}

ReceiveConditions RxRig::receiveConditions() const {
    ReceiveConditions c;
    c.MonitorMode = m_options.monitor;
    c.sessionActive = !m_options.monitor;
    c.frameReception = !m_options.monitor;
    c.narrowSpectrogram = !m_options.monitor && m_mode != 0;  // Receiving; Answering in mode 0
    c.ModeIndex = static_cast<std::uint8_t>(m_mode);
    c.WaterfallMode = 0;
    return c;
}

void RxRig::sessionTick() {
    if (m_options.monitor) {
        monitorTick();
    } else {
        receivingTick();
    }
}

// Runs the stage due at this frameTicks value, if any.
void RxRig::stagedDecode() {
    ++m_frameTicks;
    const auto& checkpoints = modeRecord(m_mode).Checkpoints;
    for (int i = 1; i <= kCheckpointCount; ++i) {
        if (m_frameTicks == checkpoints[static_cast<std::size_t>(i - 1)]) {
            if (auto verdict = m_chain.decodeStage(i)) finished(*verdict);
            break;
        }
    }
}

void RxRig::receivingTick() {
    if (m_frameTicks >= 1) stagedDecode();
    ++m_stateTicks;
    const ModeRecord& r = modeRecord(m_mode);
    const int frameTicks = r.FrameLengthUnits;
    // Deadline of a burst's second frame: the first frame plus three symbols.
    const int deadline = frameTicks + 3 * r.GuardEighths * r.BinGroups;
    if (m_options.framesPerBurst == 2 && m_frameTicks == deadline) m_frameTicks = 0;
    if (!m_frontEnd.newFrameFlag(1)) return;
    const bool searching = m_frameTicks == 0 || (m_options.framesPerBurst == 2 && m_frameTicks > frameTicks - 180);
    if (!searching) return;
    const SearchResult result = m_chain.search(m_mode, 1);
    if (result.verdict) finished(*result.verdict);
}

void RxRig::monitorTick() {
    if (m_frameTicks >= 1) {
        m_mode = m_chain.detectedMode();
        stagedDecode();
        return;
    }
    for (int m = 1; m < kModeCount; ++m) {
        if (!m_frontEnd.newFrameFlag(static_cast<std::size_t>(m))) continue;
        m_mode = m;
        m_chain.search(m, m);
    }
}

void RxRig::finished(const FrameVerdict& verdict) {
    // A failed frame in monitor mode leaves frameTicks running; scanning resumes here.
    if (m_options.monitor) m_frameTicks = 0;
    m_sink(m_options.monitor ? m_chain.detectedMode() : m_mode, verdict);
}

}  // namespace zolk::phytool
