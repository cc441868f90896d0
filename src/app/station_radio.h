// station_radio.h: a station's radio side: the receive front-end on the station's audio engine,
// the receive chain timed by the session tick's reception schedule, and the transmit chain.
// Owns these three; the settings, TransmitActive and the ports are the station's, and what a
// frame means belongs to the session layer, which takes the frames through FrameSessionEntries.
#pragma once

#include <cstdint>
#include <span>

#include "app/settings.h"
#include "phy/rx/receive_chain.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/reception_schedule.h"
#include "phy/tx/transmit_chain.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"

namespace zolk {

class Station;

class StationRadio final : public FrontEndClient, public PttRelease {
public:
    // Needs the station's tables loaded; attaches the front-end and both transmit generators to
    // the station's audio engine. The station, ui and timers must outlive the radio.
    StationRadio(Station& station, UiSink& ui, TimerPort& timers);
    // Detaches from the audio engine.
    ~StationRadio() override;
    StationRadio(const StationRadio&) = delete;
    StationRadio& operator=(const StationRadio&) = delete;

    // Where decoded and lost frames go; null (the default) drops them until a session takes them.
    void setFrameSession(FrameSessionEntries* entries);

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

    // FrontEndClient. The busy detector and the waterfall do not exist yet, so their taps drop
    // the samples.
    ReceiveConditions receiveConditions() const override;
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override;

    // PttRelease: the end of an own transmission.
    void pttOff() override;

private:
    Station& m_station;
    ReceiveFrontEnd m_frontEnd;
    IgnoredFrames m_ignoredFrames;
    ReceptionSchedule m_schedule;
    ReceiveChain m_chain;
    TransmitChain m_transmit;
};

}  // namespace zolk
