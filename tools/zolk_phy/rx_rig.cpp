#include "rx_rig.h"

#include <algorithm>
#include <utility>

namespace zolk::phytool {

RxRig::RxRig(const TablesFile& tables, const RxRigOptions& options, FrameSink sink)
    : m_drawn(m_random),
      m_frontEnd(m_drawn, *this),
      m_schedule(m_entries, SearchWindows::Anywhere, std::move(sink)),
      m_chain(m_frontEnd, tables, m_drawn) {
    if (options.monitor) {
        m_schedule.setMonitor(true);
    } else {
        m_schedule.receive(options.mode, options.framesPerBurst);
    }
}

void RxRig::capture(std::span<const float, kAudioBlockLength> block) {
    const bool silent = std::all_of(block.begin(), block.end(), [](float x) { return x == 0.0f; });
    if (!silent && m_silent) m_schedule.restartStateTicks();
    m_silent = silent;
    m_frontEnd.processCaptureBlock(block);
}

ReceiveConditions RxRig::receiveConditions() const {
    ReceiveConditions c;
    m_schedule.describe(c);
    return c;
}

}  // namespace zolk::phytool
