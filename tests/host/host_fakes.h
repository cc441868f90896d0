// host_fakes.h: recording stand-ins for what the host interface talks to, for its tests.
// They record every call and decide nothing, so a test reads exactly what the core did.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/host_links.h"
#include "ports/host_link_port.h"
#include "ports/null_ui_sink.h"

namespace zolk::test {

struct ListenCall {
    HostSocket socket;
    std::uint16_t port;
    ListenScope scope;
    bool operator==(const ListenCall&) const = default;
};

class RecordingHostLink : public HostLinkPort {
public:
    bool listen(HostSocket socket, std::uint16_t port, ListenScope scope) override {
        listens.push_back({socket, port, scope});
        isConnected[index(socket)] = false;
        return !refuseListen;
    }
    void close(HostSocket socket) override { isConnected[index(socket)] = false; }
    bool connected(HostSocket socket) const override { return isConnected[index(socket)]; }
    // Takes at most `accept` bytes per send (all by default); nothing while no host is there.
    std::size_t send(HostSocket socket, std::span<const std::uint8_t> bytes) override {
        sends[index(socket)] += 1;
        if (!isConnected[index(socket)]) return 0;
        const std::size_t taken = std::min(bytes.size(), accept[index(socket)]);
        sent[index(socket)].append(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        return taken;
    }
    void holdReading(HostSocket socket, bool hold) override { held[index(socket)] = hold; }

    static std::size_t index(HostSocket socket) { return static_cast<std::size_t>(socket); }
    std::string& commandText() { return sent[index(HostSocket::Command)]; }
    std::string& dataText() { return sent[index(HostSocket::Data)]; }

    std::vector<ListenCall> listens;
    std::array<bool, 2> isConnected{};
    std::array<std::string, 2> sent;
    std::array<int, 2> sends{};
    std::array<std::size_t, 2> accept{SIZE_MAX, SIZE_MAX};
    std::array<bool, 2> held{};
    bool refuseListen = false;
};

class RecordingUi : public NullUiSink {
public:
    void setPanelText(std::string_view key, std::string_view text) override {
        panelText[std::string(key)] = text;
    }
    void setPanelIcon(std::string_view key, std::string_view icon) override {
        panelIcon[std::string(key)] = icon;
    }
    void setPanelTip(std::string_view key, std::string_view tip) override {
        panelTip[std::string(key)] = tip;
    }
    void setCaption(std::string_view text) override { caption = text; }
    void messageBox(std::string_view title, std::string_view text) override {
        messages.push_back(std::string(title) + ": " + std::string(text));
    }
    void appendMonitor(std::string_view text) override { monitor.push_back(std::string(text)); }
    void logLine(std::string_view line) override { logLines.push_back(std::string(line)); }
    void setMenuVisible(MenuItem item, bool visible) override {
        menuVisible[static_cast<std::size_t>(item)] = visible;
    }

    std::map<std::string, std::string> panelText, panelIcon, panelTip;
    std::string caption;
    std::vector<std::string> messages, monitor, logLines;
    std::array<bool, kMenuItemCount> menuVisible{};
};

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
        repliesBefore.push_back(link != nullptr ? link->commandText() : std::string());
    }

    // When set, each effect also notes what the host had been answered before it ran.
    RecordingHostLink* link = nullptr;
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
