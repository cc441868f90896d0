#include "phy/rx/frame_acceptance.h"

#include "phy/common/crc16.h"
#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

FrameAcceptance::FrameAcceptance(ReceiveFrontEnd& frontEnd, FrameFecDecoder& fec, AcceptanceSession& session)
    : m_frontEnd(frontEnd), m_fec(fec), m_session(session) {}

std::optional<FrameVerdict> FrameAcceptance::decodeStage(int stage, int mode, DetectedFrameSource& receiver) {
    if (stage < 1 || stage > kDecodeStages || mode < 0 || mode >= kModeCount) return std::nullopt;
    if (stage == 1) {
        receiver.buildSoftValues();
        return std::nullopt;
    }
    m_fec.fecStep(stage - 1, mode, receiver.softValues());
    if (stage < kDecodeStages) return std::nullopt;
    return accept(mode, receiver);
}

FrameVerdict FrameAcceptance::accept(int mode, DetectedFrameSource& receiver) {
    const ModeRecord& record = modeRecord(mode);
    FrameVerdict verdict;
    verdict.mode = mode;
    verdict.bytes = m_fec.frameBytes();
    verdict.shiftHz = receiver.shiftEstimateHz();
    // The forced failure consumes itself even on a frame that would have failed anyway.
    verdict.good = !m_forceFailure && crc16Matches(verdict.bytes);
    m_forceFailure = false;
    verdict.snrDb = receiver.estimateSnrDb() - (10.0f - record.crestDb);

    const bool monitor = m_session.monitorMode();
    if (monitor) {
        if (!verdict.good) return verdict;
        m_session.clearFrameTicks();
        if (m_session.onMonitorFrame(verdict.bytes, mode)) return verdict;
        verdict.display.rateHeard = true;
    }

    const bool firstOfTwo = m_session.framesPerBurst() == 2 && receiver.decisionFlag() == 1;
    if (!firstOfTwo || monitor) {
        FrameDisplay& display = verdict.display;
        display.gauges = true;
        if (verdict.good) {
            // Full estimate, no smoothing: the detector measured this frame's own error.
            m_frontEnd.setReceiveFrequencyOffsetHz(m_frontEnd.receiveFrequencyOffsetHz() -
                                                   verdict.shiftHz);
            display.afcMoved = true;
            display.afcHz = -m_frontEnd.receiveFrequencyOffsetHz();
        }
        display.bitsPerCell = record.bitsPerCell;
        display.cells = receiver.constellationCells();
        display.softValues = receiver.constellationSoftValues();
    }

    if (monitor) return verdict;
    if (verdict.good) {
        if (firstOfTwo) {
            m_session.onFirstFrame(verdict.bytes, verdict.snrDb);
        } else {
            m_session.onFrame(verdict.bytes, verdict.snrDb);
        }
    } else if (firstOfTwo) {
        m_session.onFirstFrameFailed();
    } else {
        m_session.onMissingFrame();
    }
    return verdict;
}

}  // namespace zolk
