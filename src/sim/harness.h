// harness.h: runs stations on a virtual clock, one 256-sample block period at a time, and
// connects their sound cards through channel stages. Owns the clock, the stations' adapters and
// the order of events; the stations own everything else.
#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/station.h"
#include "sim/channel.h"
#include "sim/recording_host_link.h"
#include "sim/recording_ui.h"
#include "sim/sim_audio_device.h"
#include "sim/sim_timers.h"
#include "sim/ui_tee.h"
#include "sim/virtual_time.h"

namespace zolk::sim {

class Harness;

// One station with the adapters the harness lends it. What the station shows is recorded in ui(),
// and drawn on window as well when one is given (it must outlive the station).
class SimStation {
public:
    SimStation(const SampleTime& now, std::filesystem::path folder, UiSink* window = nullptr);

    Station& station() { return m_station; }
    SimTimers& timers() { return m_timers; }
    RecordingHostLink& hostLink() { return m_hostLink; }
    SimAudioDevice& audio() { return m_audio; }
    RecordingUi& ui() { return m_ui; }

    // Extra capture audio added to whatever the connected channels deliver, per block:
    // source(start time of the block, block in 16-bit scale, to add into).
    using CaptureSource = std::function<void(SampleTime, std::span<float, kBlockSamples>)>;
    void setCaptureSource(CaptureSource source) { m_captureSource = std::move(source); }

    // The left channel of every block this station's sound card played, from the first
    // block period on (silence while nothing was queued). On by default; off for long runs.
    void recordAir(bool on) { m_recordAir = on; }
    const std::vector<std::int16_t>& air() const { return m_air; }

private:
    friend class Harness;

    SimTimers m_timers;
    RecordingHostLink m_hostLink;
    SimAudioDevice m_audio;
    RecordingUi m_ui;
    UiTee m_shownUi;
    Station m_station;

    CaptureSource m_captureSource;
    std::array<float, kBlockSamples> m_played{};
    std::array<float, kBlockSamples> m_heard{};
    StereoBlock m_captureBlock{};
    bool m_recordAir = true;
    std::vector<std::int16_t> m_air;
};

class Harness {
public:
    Harness() = default;
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // The station is built, not started; it draws on window too when one is given.
    SimStation& addStation(std::filesystem::path folder, UiSink* window = nullptr);
    // from's transmitted audio reaches to's capture through the stage (a CleanChannel when null).
    void connect(SimStation& from, SimStation& to, std::unique_ptr<ChannelStage> stage = nullptr);

    SampleTime now() const { return m_now; }
    // Runs every event up to and including the given virtual time.
    void runUntil(SampleTime end);
    void runFor(std::chrono::milliseconds duration) { runUntil(m_now + toSamples(duration)); }
    void runBlocks(std::int64_t blocks) { runUntil(m_now + blocks * kBlockSamples); }

    // Host events, delivered now as one event each.
    void hostConnects(SimStation& station, HostSocket socket);
    void hostCloses(SimStation& station, HostSocket socket);
    void hostSends(SimStation& station, HostSocket socket, std::span<const std::uint8_t> bytes);
    void menu(SimStation& station, MenuItem item);

private:
    struct Link {
        SimStation* from;
        SimStation* to;
        std::unique_ptr<ChannelStage> stage;
    };

    // Delivers the events that earlier events caused (returned playback buffers), each after the
    // one that caused it, until none is left.
    void deliverPending();
    void audioBoundary();

    SampleTime m_now = 0;
    SampleTime m_nextBoundary = kBlockSamples;
    std::vector<std::unique_ptr<SimStation>> m_stations;
    std::vector<Link> m_links;
};

}  // namespace zolk::sim
