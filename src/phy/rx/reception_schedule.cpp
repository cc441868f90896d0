#include "phy/rx/reception_schedule.h"

#include <stdexcept>
#include <utility>

#include "phy/common/mode_table.h"

namespace zolk {

ReceptionSchedule::ReceptionSchedule(FrameSessionEntries& entries, SearchWindows windows, VerdictSink verdicts)
    : m_entries(&entries), m_windows(windows), m_verdicts(std::move(verdicts)) {}

void ReceptionSchedule::receive(int mode, int framesPerBurst) {
    if (mode < 0 || mode >= kModeCount) throw std::invalid_argument("no such mode");
    if (framesPerBurst != 1 && framesPerBurst != 2) throw std::invalid_argument("a burst has one or two frames");
    m_state = mode == 0 ? ReceptionState::Answering : ReceptionState::Receiving;
    m_mode = mode;
    m_framesPerBurst = static_cast<std::uint8_t>(framesPerBurst);
    m_stateTicks = 0;
    m_frameTicks = 0;
}

void ReceptionSchedule::stop() {
    m_state = ReceptionState::Idle;
    m_stateTicks = 0;
    m_frameTicks = 0;
}

void ReceptionSchedule::setMonitor(bool on) {
    m_monitor = on;
    m_frameTicks = 0;
}

void ReceptionSchedule::tick(FrameSearch& chain) {
    if (m_monitor) {
        monitorTick(chain);
        return;
    }
    if (m_frameTicks >= 1) stagedDecode(chain);
    if (m_state == ReceptionState::Idle) return;
    ++m_stateTicks;
    receivingTick(chain);
}

void ReceptionSchedule::describe(ReceiveConditions& conditions) const {
    conditions.monitorMode = m_monitor;
    conditions.sessionActive = m_state != ReceptionState::Idle;
    conditions.frameReception = m_state != ReceptionState::Idle;
    conditions.narrowSpectrogram = m_state == ReceptionState::Receiving;
    conditions.modeIndex = static_cast<std::uint8_t>(m_mode);
}

// Runs the stage due at this frameTicks value, if any.
void ReceptionSchedule::stagedDecode(FrameSearch& chain) {
    ++m_frameTicks;
    const auto& checkpoints = modeRecord(m_mode).checkpoints;
    for (int i = 1; i <= kCheckpointCount; ++i) {
        if (m_frameTicks == checkpoints[static_cast<std::size_t>(i - 1)]) {
            if (auto verdict = chain.decodeStage(i)) finished(chain, *verdict);
            break;
        }
    }
}

void ReceptionSchedule::receivingTick(FrameSearch& chain) {
    const ModeRecord& r = modeRecord(m_mode);
    // The burst's deadline: its last frame plus three symbols. (The constellation and gauges are
    // to be reset here too once those displays exist.)
    const std::int32_t deadline = r.frameLengthUnits + 3 * r.guardEighths * r.binGroups;
    if (m_state == ReceptionState::Receiving && m_frameTicks == deadline) missingFrame();
    if (!chain.newFrame(1) || !searching()) return;
    // A detection this late in the state is the second frame of a two-frame burst.
    FramePlace place = FramePlace::Only;
    if (m_framesPerBurst == 2) {
        place = m_stateTicks > 2 * r.frameLengthUnits + kWindowMarginTicks ? FramePlace::SecondOfTwo
                                                                          : FramePlace::FirstOfTwo;
    }
    found(chain, chain.search({m_mode, 1, place, place != FramePlace::FirstOfTwo}));
}

// A single frame, or the first of two, is looked for in a window after the own transmission; the
// second of two from just before the first one's end on, until the deadline.
bool ReceptionSchedule::searching() const {
    const std::int32_t frame = modeRecord(m_mode).frameLengthUnits;
    if (m_framesPerBurst == 2) {
        return (m_frameTicks == 0 && inWindow(frame - kWindowMarginTicks, 2 * frame + kWindowSlackTicks)) ||
               m_frameTicks > frame - kWindowMarginTicks;
    }
    return m_frameTicks == 0 && inWindow(frame - kWindowMarginTicks, frame + kWindowSlackTicks);
}

bool ReceptionSchedule::inWindow(std::int32_t above, std::int32_t below) const {
    return m_windows == SearchWindows::Anywhere || (above < m_stateTicks && m_stateTicks < below);
}

void ReceptionSchedule::monitorTick(FrameSearch& chain) {
    if (m_frameTicks >= 1) {
        m_mode = chain.detectedMode();
        stagedDecode(chain);
    }
    if (m_frameTicks != 0) return;
    for (int m = 1; m < kModeCount; ++m) {
        if (!chain.newFrame(m)) continue;
        m_mode = m;
        found(chain, chain.search({m, m, FramePlace::Monitored, false}));
    }
}

void ReceptionSchedule::found(FrameSearch& chain, const SearchResult& result) {
    if (result.outcome == SearchOutcome::Nothing) return;
    if (m_detections) m_detections();
    if (result.outcome == SearchOutcome::Staged) m_frameTicks = 1;
    if (result.verdict) finished(chain, *result.verdict);
}

// Each verdict leaves once: the session entry it calls for, then the sink. A monitored frame, good
// or failed, ends its staged decode so that the scanning resumes; a good one the session takes is
// not shown. A shown good frame moves the frequency correction before the session hears of it.
void ReceptionSchedule::finished(FrameSearch& chain, FrameVerdict verdict) {
    if (verdict.place == FramePlace::Monitored) {
        m_frameTicks = 0;
        if (verdict.good && m_entries->onMonitorFrame(verdict.bytes, verdict.mode)) verdict.display = {};
    }
    chain.followFrequency(verdict);
    enter(verdict);
    if (m_verdicts) m_verdicts(verdict);
}

// The only or second frame of a burst, good or not, ends its reception (frameTicks = 0); the
// first of two leaves the count running for the second.
void ReceptionSchedule::enter(const FrameVerdict& verdict) {
    switch (verdict.place) {
        case FramePlace::Monitored:
            return;
        case FramePlace::FirstOfTwo:
            if (verdict.good) {
                m_entries->onFirstFrame(verdict.bytes, verdict.snrDb);
            } else {
                m_entries->onFirstFrameFailed();
            }
            return;
        case FramePlace::Only:
        case FramePlace::SecondOfTwo:
            if (verdict.good) {
                m_frameTicks = 0;
                m_entries->onFrame(verdict.bytes, verdict.snrDb);
            } else {
                missingFrame();
            }
            return;
    }
}

void ReceptionSchedule::missingFrame() {
    m_frameTicks = 0;
    m_entries->onMissingFrame();
}

}  // namespace zolk
