#include "phy/rx/frame_acceptance.h"

#include "phy/common/contract.h"
#include "phy/common/crc16.h"
#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

FrameAcceptance::FrameAcceptance(ReceiveFrontEnd& frontEnd, FrameFecDecoder& fec) : m_frontEnd(frontEnd), m_fec(fec) {}

std::optional<FrameVerdict> FrameAcceptance::decodeStage(int stage, ModeIndex mode, FramePlace place,
                                                         DetectedFrameSource& receiver) {
    expects(stage >= 1 && stage <= kDecodeStages, "decode stages are 1..10");
    if (stage == 1) {
        receiver.buildSoftValues();
        return std::nullopt;
    }
    m_fec.fecStep(stage - 1, mode, receiver.softValues());
    if (stage < kDecodeStages) return std::nullopt;
    return accept(mode, place, receiver);
}

FrameVerdict FrameAcceptance::accept(ModeIndex mode, FramePlace place, DetectedFrameSource& receiver) {
    const ModeRecord& record = modeRecord(mode);
    FrameVerdict verdict;
    verdict.mode = mode;
    verdict.place = place;
    verdict.bytes = m_fec.frameBytes();
    verdict.shiftHz = receiver.shiftEstimateHz();
    // The forced failure consumes itself even on a frame that would have failed anyway.
    verdict.good = !m_forceFailure && crc16Matches(verdict.bytes);
    m_forceFailure = false;
    verdict.snrDb = receiver.estimateSnrDb() - crestLevelOffsetDb(record.crestDb);

    const bool monitored = place == FramePlace::Monitored;
    if (place == FramePlace::FirstOfTwo || (monitored && !verdict.good)) return verdict;
    FrameDisplay& display = verdict.display;
    display.gauges = true;
    display.rateHeard = monitored;
    display.bitsPerCell = record.bitsPerCell;
    display.cells = receiver.constellationCells();
    display.softValues = receiver.constellationSoftValues();
    return verdict;
}

void FrameAcceptance::followFrequency(FrameVerdict& verdict) {
    if (!verdict.good || !verdict.display.gauges) return;
    m_frontEnd.setReceiveFrequencyOffsetHz(m_frontEnd.receiveFrequencyOffsetHz() - verdict.shiftHz);
    verdict.display.afcMoved = true;
    verdict.display.afcHz = -m_frontEnd.receiveFrequencyOffsetHz();
}

}  // namespace zolk
