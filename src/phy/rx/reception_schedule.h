// reception_schedule.h: the session tick's frame timing: when the receive chain searches for a
// frame and when a found frame's decode stages run, in single-mode reception (Receiving, Answering)
// and in monitor mode. Owns frameTicks, stateTicks and the reception state; the chain, what the
// frames mean (the session entries) and keying stay with the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>

#include "phy/rx/frame_acceptance.h"
#include "phy/rx/frame_entries.h"
#include "phy/rx/frame_search.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

enum class ReceptionState : std::uint8_t {
    Idle,       // no frame is expected (session state Disconnected)
    Answering,  // the identification frame in mode 0
    Receiving,  // data bursts of one or two frames
};

// Where frames may be searched for. Session: only in the windows counted from the end of the own
// last transmission (stateTicks). Anywhere: at every FFT frame, for a recording that has no own
// transmissions to count from.
enum class SearchWindows : std::uint8_t { Session, Anywhere };

// Frame entries for a receiver without a session layer: every outcome is dropped.
class IgnoredFrames final : public FrameSessionEntries {
public:
    void onFirstFrame(std::span<const std::uint8_t>, float) override {}
    void onFrame(std::span<const std::uint8_t>, float) override {}
    void onFirstFrameFailed() override {}
    void onMissingFrame() override {}
    bool onMonitorFrame(std::span<const std::uint8_t>, int) override { return false; }
};

class ReceptionSchedule final {
public:
    // Called at every frame's stage 10, after the session entry.
    using VerdictSink = std::function<void(const FrameVerdict& verdict)>;
    // Called at every detection (a search that found a frame), before its decode.
    using DetectionSink = std::function<void()>;

    // entries must outlive the schedule (or their replacement by setEntries).
    ReceptionSchedule(FrameSessionEntries& entries, SearchWindows windows, VerdictSink verdicts = {});

    void setDetectionSink(DetectionSink detections) { m_detections = std::move(detections); }
    // Where the frame entries go from now on.
    void setEntries(FrameSessionEntries& entries) { m_entries = &entries; }

    // Single-mode reception of mode (Answering for mode 0, else Receiving): a state change, so
    // stateTicks and frameTicks start again. Throws std::invalid_argument for a mode outside 0..14
    // or a burst of other than 1 or 2 frames.
    void receive(int mode, int framesPerBurst);
    // Back to Idle; a frame under way is dropped.
    void stop();
    // MonitorMode: while on, every mode 1..14 is searched in its own slot and the state is not used.
    void setMonitor(bool on);
    // The end of an own transmission, and every tick while one is on the air: stateTicks = 0.
    void restartStateTicks() { m_stateTicks = 0; }

    // The session tick (1500 per second) for everything but the own transmission, which the caller
    // handles by restarting stateTicks instead.
    void tick(FrameSearch& chain);

    // The session facts the front-end needs: MonitorMode, sessionActive, frameReception,
    // narrowSpectrogram and ModeIndex.
    void describe(ReceiveConditions& conditions) const;

    ReceptionState state() const { return m_state; }
    // The mode being received; in monitor mode the mode of the last search or detection.
    int mode() const { return m_mode; }
    std::int32_t frameTicks() const { return m_frameTicks; }
    // Ticks in the current state since the station's own last transmission ended.
    std::int32_t stateTicks() const { return m_stateTicks; }

private:
    void stagedDecode(FrameSearch& chain);
    void receivingTick(FrameSearch& chain);
    void monitorTick(FrameSearch& chain);
    bool searching() const;
    bool inWindow(std::int32_t above, std::int32_t below) const;
    void found(FrameSearch& chain, const SearchResult& result);
    void finished(FrameSearch& chain, FrameVerdict verdict);
    void enter(const FrameVerdict& verdict);
    void missingFrame();

    FrameSessionEntries* m_entries;
    SearchWindows m_windows;
    VerdictSink m_verdicts;
    DetectionSink m_detections;
    ReceptionState m_state = ReceptionState::Idle;
    bool m_monitor = false;
    int m_mode = 0;
    std::uint8_t m_framesPerBurst = 1;
    std::int32_t m_frameTicks = 0;
    std::int32_t m_stateTicks = 0;
};

}  // namespace zolk
