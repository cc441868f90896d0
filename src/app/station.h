// station.h: one modem. Owns every piece of mutable state of a station (settings, audio engine,
// host interface, and later the session, receivers and radio); meets the world only through ports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "app/settings.h"
#include "ports/audio_device_port.h"
#include "ports/host_link_port.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"

namespace zolk {

// The adapters a shell (Qt, headless or the virtual-time harness) lends to a station.
struct StationPorts {
    TimerPort& timers;
    HostLinkPort& hostLink;
    AudioDevicePort& audio;
    UiSink& ui;
};

// Operator actions from the menus; dialogs add theirs as they come.
enum class MenuAction : std::uint8_t {
    WaterfallOn,
    WaterfallOff,
    WaterfallAuto,
    ViewAll,
    ViewWaterfall,
    ViewGauges,
    MonitorOn,
    MonitorOff,
    MonitorClear,
};

class Station {
public:
    // stationFolder holds "ZOLK SAT.ini" and the log; it is created if missing.
    Station(StationPorts ports, std::filesystem::path stationFolder);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // The start-up sequence. Returns false when the station cannot run (the reason has been
    // shown through the UI sink); nothing has been opened then.
    bool start();
    // The shutdown sequence: PTT off, audio closed, timers stopped, sockets closed, settings saved.
    void shutdown();

    // Events, one at a time, each run to completion.
    void onCaptureBlock(std::span<const std::int16_t> interleavedStereo);  // 256 frames
    void onPlaybackRequest(std::span<std::int16_t> interleavedStereo);     // fills 256 frames
    void onTimer(TimerId id);
    void onHostConnected(HostSocket socket);
    void onHostClosed(HostSocket socket);
    void onHostError(HostSocket socket);
    void onHostBytes(HostSocket socket, std::span<const std::uint8_t> bytes);
    void onMenu(MenuAction action);

    const Settings& settings() const;
};

}  // namespace zolk
