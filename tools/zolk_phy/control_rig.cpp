#include "control_rig.h"

#include <algorithm>
#include <utility>

namespace zolk::phytool {

ControlRig::ControlRig(const ControlPatternTable& table, std::vector<std::uint8_t> codes, ControlSearch search,
                       DetectionSink sink, bool everyTick)
    : m_drawn(m_random),
      m_frontEnd(m_drawn, *this),
      m_detector(m_frontEnd),
      m_table(table),
      m_codes(std::move(codes)),
      m_search(search),
      m_sink(std::move(sink)),
      m_everyTick(everyTick) {}

ReceiveConditions ControlRig::receiveConditions() const {
    ReceiveConditions c;
    c.controlListening = true;
    c.sessionActive = m_search == ControlSearch::Narrow;
    c.narrowSpectrogram = m_search == ControlSearch::Narrow;
    return c;
}

void ControlRig::sessionTick() {
    ++m_ticks;
    if (!m_everyTick && !m_frontEnd.newSpectrogramRow()) return;
    ++m_runs;
    const auto detection = m_detector.listenFor(m_table, m_codes, m_search);
    m_mostHits = std::max(m_mostHits, m_detector.lastRun().mostHits);
    if (!detection || !m_sink) return;
    // Two baseband samples per tick; the record's ring index is at most one ring behind.
    const std::int64_t now = 2 * m_ticks;
    const std::int64_t behind =
        (static_cast<std::int64_t>(m_frontEnd.ringIndex()) - detection->ringIndex + kRingLength) % kRingLength;
    m_sink(*detection, now - behind);
}

}  // namespace zolk::phytool
