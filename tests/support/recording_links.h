// recording_links.h: what the host interface asks of the rest of the station (session, call
// patterns, station control, transmit buffer, log), recorded in order and decided by the test.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/host_links.h"
#include "sim/recording_host_link.h"

namespace zolk::test {

// Records every effect a host command or socket event asks of the rest of the station, in order.
class RecordingLinks : public SessionControl,
                       public CallPatterns,
                       public StationControl,
                       public TransmitBufferEntry,
                       public HostLog {
public:
    bool inProgress() const override { return sessionInProgress; }
    void connect() override { record("connect"); }
    void disconnect() override { record("disconnect"); }
    void abort() override { record("abort"); }
    void dropLocally() override {
        record("dropLocally");
        sessionInProgress = false;
    }
    bool calibrating() const override { return sessionCalibrating; }
    bool startPing(int kind, std::string_view target) override {
        record("startPing " + std::to_string(kind) + " " + std::string(target));
        return pingAccepted;
    }
    void buildCallPatterns(std::int32_t seed, const SlotSeeds& seeds, bool forCall) override {
        record("buildCallPatterns " + std::to_string(seed) + (forCall ? " call" : " idle"));
        lastSlotSeeds = seeds;
    }
    void drawPingPatterns(std::int32_t seed) override {
        record("drawPingPatterns " + std::to_string(seed));
    }
    void leaveMonitorMode() override { record("leaveMonitorMode"); }
    void takeOverPtt() override { record("takeOverPtt"); }
    void applyRadioPort() override { record("applyRadioPort"); }
    void appendToTransmitBuffer(std::span<const std::uint8_t> bytes) override {
        transmitBuffer.append(bytes.begin(), bytes.end());
    }
    void logLine(std::string_view text) override { logLines.push_back(std::string(text)); }

    HostLinks links() { return HostLinks{*this, *this, *this, *this, *this}; }

    void record(std::string effect) {
        effects.push_back(std::move(effect));
        repliesBefore.push_back(link != nullptr ? link->sentText(HostSocket::Command) : std::string());
    }

    // When set, each effect also notes what the host had been answered before it ran.
    sim::RecordingHostLink* link = nullptr;
    std::vector<std::string> repliesBefore;
    bool sessionInProgress = false;
    bool sessionCalibrating = false;
    bool pingAccepted = true;
    std::vector<std::string> effects;
    SlotSeeds lastSlotSeeds{};
    std::string transmitBuffer;
    std::vector<std::string> logLines;
};

}  // namespace zolk::test
