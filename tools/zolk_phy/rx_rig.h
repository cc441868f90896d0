// rx_rig.h: one station's receive side without a sound card or session: the front-end and the
// receive chain, driven by the session tick's frame timing of single-mode reception or monitor
// mode. Owns both; what becomes of each decoded frame (a line of text, a count) is the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/rx/receive_chain.h"
#include "phy/rx/receive_front_end.h"
#include "ports/timer_port.h"
#include "ports/null_ui_sink.h"

namespace zolk::phytool {

struct RxRigOptions {
    int mode = 0;            // the expected mode (state Receiving; Answering for mode 0)
    int framesPerBurst = 1;  // 1 or 2
    bool monitor = false;    // monitor mode: every mode 1..14 in its own slot
};

// The station around the chain: nothing is shown and no timer runs; the session's part is only
// what times the frames (frameTicks, checkpoints, the search windows of a two-frame burst).
class RxRig final : public FrontEndClient, public ReceiveChainSession, public NullUiSink, public TimerPort {
public:
    // Called at every frame's stage 10 with the frame's mode.
    using FrameSink = std::function<void(int mode, const FrameVerdict& verdict)>;

    RxRig(const TablesFile& tables, const RxRigOptions& options, FrameSink sink);

    // One capture block. Digital silence stands for the station's own transmission: the first
    // sound after it restarts stateTicks, as the end of an own transmission does.
    void capture(std::span<const float, kAudioBlockLength> block);

    // FrontEndClient
    ReceiveConditions receiveConditions() const override;
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override;

    // ReceiveChainSession
    std::uint8_t framesPerBurst() const override { return static_cast<std::uint8_t>(m_options.framesPerBurst); }
    bool monitorMode() const override { return m_options.monitor; }
    void clearFrameTicks() override { m_frameTicks = 0; }
    std::int32_t stateTicks() const override { return m_stateTicks; }
    void startStagedDecode() override { m_frameTicks = 1; }
    void onFirstFrame(std::span<const std::uint8_t>, float) override {}
    void onFrame(std::span<const std::uint8_t>, float) override { m_frameTicks = 0; }
    void onFirstFrameFailed() override {}
    void onMissingFrame() override { m_frameTicks = 0; }
    bool onMonitorFrame(std::span<const std::uint8_t>, int) override { return false; }

    // TimerPort: nothing is timed.
    void start(TimerId, std::chrono::milliseconds) override {}
    void stop(TimerId) override {}

private:
    void stagedDecode();
    void receivingTick();
    void monitorTick();
    void finished(const FrameVerdict& verdict);

    RxRigOptions m_options;
    FrameSink m_sink;
    RandomSource m_random;
    DrawnTables m_drawn;
    ReceiveFrontEnd m_frontEnd;
    ReceiveChain m_chain;
    int m_mode;
    std::int32_t m_frameTicks = 0;
    std::int32_t m_stateTicks = 0;
    bool m_silent = false;
};

}  // namespace zolk::phytool
