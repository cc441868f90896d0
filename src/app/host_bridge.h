// host_bridge.h: the station's side of what host commands set in motion: the session's commands
// and the DataPort's bytes go to the ARQ session, the call patterns to the radio, the monitor
// switch, the PTT menu and the link calibration to the station.
#pragma once

#include <string_view>

#include "host/host_links.h"

namespace zolk {

class Station;

class HostBridge final : public SessionControl,
                         public CallPatterns,
                         public StationControl,
                         public TransmitBufferEntry,
                         public HostLog {
public:
    explicit HostBridge(Station& station) : m_station(station) {}

    HostLinks links() { return HostLinks{*this, *this, *this, *this, *this}; }

    // Host events reach the bridge only while the station runs, so the session exists.
    bool inProgress() const override;
    void connect() override;
    void disconnect() override;
    void abort() override;
    void dropLocally() override;
    bool calibrating() const override;
    bool startPing(int kind, std::string_view target) override;

    void buildCallPatterns(std::int32_t seed, const SlotSeeds& slotSeeds, bool forCall) override;
    void drawPingPatterns(std::int32_t seed) override;

    void leaveMonitorMode() override;
    void takeOverPtt() override;
    void applyRadioPort() override;

    void appendToTransmitBuffer(std::span<const std::uint8_t> bytes) override;

    void logLine(std::string_view text) override;

private:
    Station& m_station;
};

}  // namespace zolk
