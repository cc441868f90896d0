// busy_channel.h: tells the operator and the host whether another signal occupies the channel
// while no link is up. Owns the busy detector, whether it watches and what was last declared; the
// input level, the "Busy" panel, the host's command line and the re-arm timer are the station's.
#pragma once

#include "phy/common/complex_ops.h"
#include "phy/rx/busy_detector.h"
#include "ports/host_link_port.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"

namespace zolk {

class BusyChannel {
public:
    // Each port must outlive the busy channel. Nothing is watched or declared until start().
    BusyChannel(UiSink& ui, HostLinkPort& hostLink, TimerPort& timers);

    // Start-up: the channel is declared free and watching begins when the BusyOff timer fires.
    void start();
    // One baseband sample; inputLevelDb is the level the level gauge shows now. Ignored while not
    // watching.
    void onSample(Complex z, float inputLevelDb);
    // A call, an answered call or a calibration ping: watching stops, the channel is shown free
    // and a pending re-arm is dropped.
    void pause();
    // The end of a link, a call or a ping: watching resumes when the BusyOff timer fires, 2 s from
    // now. Nothing changes while watching already.
    void resumeLater();
    // The BusyOff timer fired: it stops and watching begins with a fresh block.
    void onTimer();

    bool watching() const { return m_watching; }
    bool channelFree() const { return m_channelFree; }

private:
    // Each shows the state and tells the host once per change.
    void declareBusy();
    void declareFree();

    UiSink& m_ui;
    HostLinkPort& m_hostLink;
    TimerPort& m_timers;
    BusyDetector m_detector;
    bool m_watching = false;
    bool m_channelFree = false;
};

}  // namespace zolk
