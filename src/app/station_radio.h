// station_radio.h: a station's radio side: the receive front-end on the station's audio engine,
// the receive chain timed by the session tick's reception schedule, the transmit chain and the
// busy channel watch. Owns these four; the settings, TransmitActive and the ports are the station's, and what a
// frame means belongs to the session layer, which takes the frames through FrameSessionEntries.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "app/busy_channel.h"
#include "app/settings.h"
#include "app/waterfall_rows.h"
#include "phy/common/control_patterns.h"
#include "phy/rx/control_detector.h"
#include "phy/rx/receive_chain.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/reception_schedule.h"
#include "phy/tx/transmit_chain.h"
#include "ports/host_link_port.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"
#include "session/control_codes.h"
#include "session/ping_codes.h"

namespace zolk {

class Station;

class StationRadio final : public FrontEndClient, public PttRelease {
public:
    // Needs the station's tables loaded; attaches the front-end and both transmit generators to
    // the station's audio engine. The station and the ports must outlive the radio.
    StationRadio(Station& station, UiSink& ui, TimerPort& timers, HostLinkPort& hostLink);
    // Detaches from the audio engine.
    ~StationRadio() override;
    StationRadio(const StationRadio&) = delete;
    StationRadio& operator=(const StationRadio&) = delete;

    // Where decoded and lost frames go; null (the default) drops them until a session takes them.
    void setFrameSession(FrameSessionEntries* entries);
    // Runs at every session tick after the reception's own work, also while transmitting.
    void setSessionTick(std::function<void()> tick) { m_sessionTick = std::move(tick); }
    // A link or call is under way and searches its control codes with this resolution: the
    // front-end keeps the corrected ring and the matching spectrogram running.
    void followSession(bool active, ControlSearch search) {
        m_sessionActive = active;
        m_sessionSearch = search;
    }

    // State Receiving for data bursts of framesPerBurst frames in mode, or Answering for the
    // identification frame in mode 0. Throws std::invalid_argument for a bad mode or burst.
    void receive(int mode, int framesPerBurst);
    // No frame is expected any more (state Disconnected).
    void stopReceiving();
    // Monitor mode on or off as the settings' MonitorMode says; a reception under way ends.
    void applyMonitorMode();
    const ReceptionSchedule& reception() const { return m_schedule; }
    // The operator's "Error" button: the next frame to reach its frame check counts as failed.
    void forceNextFrameFailure() { m_chain.acceptance().forceNextFrameFailure(); }

    // Modulates one or two frames (NetBytes each) of mode and keys TransmitActive; the symbol
    // feeder releases it when the signal has left the playback queue. Throws std::logic_error while
    // a transmission is still on the air and std::invalid_argument for a bad mode or frame.
    void send(int mode, std::span<const std::span<const std::uint8_t>> frames);

    // The next transmission is the 1500 Hz test tone, until a frame is prepared.
    void prepareTestTone() { m_transmit.prepareTestTone(); }

    // Control frames. The pattern tables hold one drawing at all times (the idle one from the
    // start); a redraw drops a detection under way.
    void drawPatterns(std::int32_t seed, const CallSlotSeeds& slotSeeds, bool forCall);
    const ControlPatternTable& patterns() const { return m_patterns; }
    // Sends control code c of the current drawing and keys TransmitActive until the frame and
    // its silent tail have left. Throws std::logic_error while a transmission is on the air.
    void sendControl(ControlCode c);
    // The next transmission opens with the 1500 Hz lead-in tone instead of lead-in tones (after a
    // cleanup); a control frame that reaches its end disarms it.
    void armLeadInTone() { m_transmit.feeder().setLeadInToneArmed(true); }
    // One detector run over codes on the newest symbols; a detection moves the AFC (shown on the
    // AFC gauge) and is returned. For the session, which runs it from its own tick.
    std::optional<ControlDetection> listenFor(const ControlCodeSet& codes, ControlSearch search);
    // Standing listening until stopped: a run at every spectrogram row (or every tick with
    // everyTick), each detection handed to the sink set below. Not while transmitting.
    void listenForControl(const ControlCodeSet& codes, ControlSearch search, bool everyTick = false);
    void stopListeningForControl();
    using ControlSink = std::function<void(ControlCode, const ControlDetection&)>;
    void setControlSink(ControlSink sink) { m_controlSink = std::move(sink); }
    ControlDetector& controlDetector() { return m_controlDetector; }
    // Link calibration pings: the ping patterns (the own ones, seed 984 until the host names the
    // station), their frames, and one detector per ping kind, each with its own record, which
    // measures the frequency a ping was heard at and leaves the AFC alone. A redraw drops a
    // detection under way.
    void drawPingPatterns(std::int32_t seed);
    const ControlPatternTable& pingPatterns() const { return m_pingPatterns; }
    // Sends ping or reply code (1..17) and keys TransmitActive; an armed lead-in tone lasts 10 s
    // with leadInToneLength 1, else 400 ms. Throws std::logic_error while a transmission is on
    // the air.
    void sendPing(int code, std::uint8_t leadInToneLength);
    std::optional<ControlDetection> listenForPing(PingKind kind, std::span<const std::uint8_t> codes);
    void clearWideSpectrogram() { m_frontEnd.clearWideSpectrogram(); }

    // This sample step made a new spectrogram row: a symbol slot for the control-code detector.
    bool newSpectrogramRow() const { return m_frontEnd.newSpectrogramRow(); }
    // The AFC state: the receive frequency offset of the front-end.
    float receiveFrequencyOffsetHz() const { return m_frontEnd.receiveFrequencyOffsetHz(); }

    // Whether another signal occupies the channel: BUSY ON / BUSY OFF and the "Busy" panel.
    BusyChannel& busyChannel() { return m_busy; }

    // FrontEndClient: the busy detector's samples and the waterfall's, whose rows go to the window.
    ReceiveConditions receiveConditions() const override;
    void busySample(Complex x) override;
    void waterfallSample(Complex x) override;
    void sessionTick() override;

    // PttRelease: the end of an own transmission.
    void pttOff() override;

private:
    // The constellation is cleared 9 s after the last detection or plot.
    void holdConstellation();

    struct ControlListening {
        bool active = false;
        ControlCodeSet codes;
        ControlSearch search = ControlSearch::Wide;
        bool everyTick = false;
    };

    Station& m_station;
    UiSink& m_ui;
    TimerPort& m_timers;
    ReceiveFrontEnd m_frontEnd;
    IgnoredFrames m_ignoredFrames;
    ReceptionSchedule m_schedule;
    ReceiveChain m_chain;
    TransmitChain m_transmit;
    ControlPatternTable m_patterns;
    WaterfallRows m_waterfall;
    ControlDetector m_controlDetector;
    ControlPatternTable m_pingPatterns;
    ControlDetector m_roughPingDetector;
    ControlDetector m_finePingDetector;
    ControlListening m_controlListening;
    ControlSink m_controlSink;
    BusyChannel m_busy;
    std::function<void()> m_sessionTick;
    bool m_sessionActive = false;
    ControlSearch m_sessionSearch = ControlSearch::Wide;
};

}  // namespace zolk
