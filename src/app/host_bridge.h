// host_bridge.h: the station's side of what host commands set in motion: the session's commands
// and the DataPort's bytes go to the ARQ session, the call patterns to the radio, the monitor
// switch and the PTT menu to the station, and a plain report for each subsystem not built yet.
#pragma once

#include <string_view>

#include "host/host_links.h"
#include "ports/ui_sink.h"

namespace zolk {

class Station;

class HostBridge final : public SessionControl,
                         public CallPatterns,
                         public StationControl,
                         public TransmitBufferEntry,
                         public HostLog {
public:
    HostBridge(Station& station, UiSink& ui) : m_station(station), m_ui(ui) {}

    HostLinks links() { return HostLinks{*this, *this, *this, *this, *this}; }

    // Host events reach the bridge only while the station runs, so the session exists.
    bool inProgress() const override;
    void connect() override;
    void disconnect() override;
    void abort() override;
    void dropLocally() override;

    void buildCallPatterns(std::int32_t seed, const SlotSeeds& slotSeeds, bool forCall) override;
    void drawPingPatterns(std::int32_t seed) override;

    void leaveMonitorMode() override;
    void takeOverPtt() override;
    void applyRadioPort() override;

    void appendToTransmitBuffer(std::span<const std::uint8_t> bytes) override;

    void logLine(std::string_view text) override;

private:
    Station& m_station;
    UiSink& m_ui;
};

}  // namespace zolk
