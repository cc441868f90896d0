// rx_rig.h: one station's receive side without a sound card or session: the front-end and the
// receive chain, driven by the session tick's frame timing of single-mode reception or monitor
// mode. Owns both; what becomes of each decoded frame (a line of text, a count) is the caller's.
#pragma once

#include <functional>
#include <span>

#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/rx/receive_chain.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/reception_schedule.h"

namespace zolk::phytool {

struct RxRigOptions {
    int mode = 0;            // the expected mode (state Receiving; Answering for mode 0)
    int framesPerBurst = 1;  // 1 or 2
    bool monitor = false;    // monitor mode: every mode 1..14 in its own slot
};

// The station around the chain: no session takes the frames.
// A recording has no own transmissions to count the session's search windows from, so frames are
// searched for anywhere in it.
class RxRig final : public FrontEndClient {
public:
    // Called at every frame's stage 10 with its verdict.
    using FrameSink = ReceptionSchedule::VerdictSink;

    RxRig(const TablesFile& tables, const RxRigOptions& options, FrameSink sink);

    // One capture block. Digital silence stands for the station's own transmission: the first
    // sound after it restarts stateTicks, as the end of an own transmission does.
    void capture(std::span<const float, kAudioBlockLength> block);

    // FrontEndClient
    ReceiveConditions receiveConditions() const override;
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override { m_schedule.tick(m_chain); }

private:
    RandomSource m_random;
    DrawnTables m_drawn;
    ReceiveFrontEnd m_frontEnd;
    IgnoredFrames m_entries;
    ReceptionSchedule m_schedule;
    ReceiveChain m_chain;
    bool m_silent = false;
};

}  // namespace zolk::phytool
