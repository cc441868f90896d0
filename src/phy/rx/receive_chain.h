// receive_chain.h: a station's frame receivers on top of the front-end: the frame search of both
// families, what follows a detection (re-extraction, shift, decision flag, staging) and the ten
// decode stages. Owns detectors, demodulators, turbo decoder and acceptance; the session decides when.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "phy/common/drawn_tables.h"
#include "phy/common/tables_file.h"
#include "phy/fec/mode_fec.h"
#include "phy/rx/frame_acceptance.h"
#include "phy/rx/receive_front_end.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"

namespace zolk {

// The session as the receive chain sees it: the frame entries plus the counters a detection reads.
class ReceiveChainSession : public AcceptanceSession {
public:
    // Ticks in the current state since the station's own last transmission ended.
    virtual std::int32_t stateTicks() const = 0;
    // frameTicks = 1: the session tick runs the stages at the mode's checkpoints from now on.
    virtual void startStagedDecode() = 0;
};

enum class SearchOutcome : std::uint8_t {
    Nothing,  // no frame confirmed at this FFT frame
    Staged,   // a frame was found; its stages follow at the checkpoints
    Decoded,  // a frame was found and decoded at once (stage 10 ran)
};

struct SearchResult {
    SearchOutcome outcome = SearchOutcome::Nothing;
    std::optional<FrameVerdict> verdict;  // set when Decoded
};

class ReceiveChain {
public:
    // All references must outlive the chain. Buffers are sized once for the largest mode.
    ReceiveChain(ReceiveFrontEnd& frontEnd, const TablesFile& tables, const DrawnTables& drawn,
                 ReceiveChainSession& session, UiSink& ui, TimerPort& timers);
    ~ReceiveChain();
    ReceiveChain(const ReceiveChain&) = delete;
    ReceiveChain& operator=(const ReceiveChain&) = delete;

    // DetectFrame (modes 5..13) or DetectToneFrame (the robust modes) at a new FFT frame of slot.
    SearchResult search(int mode, int slot);
    // Decode stage k of the last detected frame; stage 10 returns the verdict.
    std::optional<FrameVerdict> decodeStage(int stage);

    // DetectedMode: the mode of the last detection (the monitored mode the stages decode).
    int detectedMode() const { return m_detectedMode; }
    FrameAcceptance& acceptance() { return m_acceptance; }

private:
    class CarrierFrame;
    class ToneFrame;

    SearchResult afterDetection(int mode, bool decodeNow);

    ReceiveFrontEnd& m_frontEnd;
    const TablesFile& m_tables;
    const DrawnTables& m_drawn;
    ReceiveChainSession& m_session;
    TimerPort& m_timers;
    std::unique_ptr<CarrierFrame> m_carrier;
    std::unique_ptr<ToneFrame> m_tone;
    ModeTurboDecoder m_fec;
    FrameAcceptance m_acceptance;
    DetectedFrameSource* m_current = nullptr;
    int m_detectedMode = 0;
};

}  // namespace zolk
