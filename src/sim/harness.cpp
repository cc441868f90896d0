#include "sim/harness.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zolk::sim {
namespace {

std::int16_t toSample(float value) {
    const float rounded = std::nearbyint(value);
    return static_cast<std::int16_t>(std::clamp(rounded, -32768.0F, 32767.0F));
}

}  // namespace

SimStation::SimStation(const SampleTime& now, std::filesystem::path folder, UiSink* window)
    : m_timers(now),
      m_audio(now),
      m_shownUi(m_ui, window),
      m_station(StationPorts{m_timers, m_hostLink, m_audio, m_shownUi}, std::move(folder)) {}

SimStation& Harness::addStation(std::filesystem::path folder, UiSink* window) {
    m_stations.push_back(std::make_unique<SimStation>(m_now, std::move(folder), window));
    return *m_stations.back();
}

void Harness::connect(SimStation& from, SimStation& to, std::unique_ptr<ChannelStage> stage) {
    if (!stage) stage = std::make_unique<CleanChannel>();
    m_links.push_back({&from, &to, std::move(stage)});
}

void Harness::runUntil(SampleTime end) {
    deliverPending();
    for (;;) {
        SimStation* timerStation = nullptr;
        SimTimers::Due due{std::numeric_limits<SampleTime>::max(), 0, TimerId::DelayPtt};
        for (auto& station : m_stations) {
            const auto earliest = station->m_timers.earliest();
            if (earliest && earliest->deadline < due.deadline) {
                due = *earliest;
                timerStation = station.get();
            }
        }
        // A timer due at a block boundary runs before that boundary's audio.
        if (timerStation != nullptr && due.deadline <= m_nextBoundary) {
            if (due.deadline > end) break;
            m_now = due.deadline;
            timerStation->m_station.onTimer(due.id);
            timerStation->m_timers.ticked(due);
        } else {
            if (m_nextBoundary > end) break;
            m_now = m_nextBoundary;
            audioBoundary();
            m_nextBoundary += kBlockSamples;
        }
        deliverPending();
    }
    m_now = std::max(m_now, end);
}

void Harness::audioBoundary() {
    const SampleTime blockStart = m_now - kBlockSamples;
    for (auto& station : m_stations) {
        auto& s = *station;
        s.m_audio.playOneBlock(blockStart, s.m_played);
        if (s.m_recordAir) {
            for (const float sample : s.m_played) s.m_air.push_back(toSample(sample));
        }
        s.m_heard.fill(0.0F);
    }
    for (auto& link : m_links) {
        std::array<float, kBlockSamples> block = link.from->m_played;
        link.stage->process(block);
        for (std::size_t k = 0; k < kBlockSamples; ++k) link.to->m_heard[k] += block[k];
    }
    for (auto& station : m_stations) {
        auto& s = *station;
        if (s.m_captureSource) s.m_captureSource(blockStart, s.m_heard);
        if (!s.m_audio.delivering(AudioDirection::Capture, blockStart)) continue;
        for (std::size_t k = 0; k < kBlockSamples; ++k) {
            s.m_captureBlock[2 * k] = toSample(s.m_heard[k]);
            s.m_captureBlock[2 * k + 1] = s.m_captureBlock[2 * k];
        }
        s.m_station.onCaptureBlock(s.m_captureBlock);
        deliverPending();
    }
}

void Harness::deliverPending() {
    for (bool delivered = true; delivered;) {
        delivered = false;
        for (auto& station : m_stations) {
            while (const auto request = station->m_audio.nextRequest()) {
                delivered = true;
                station->m_station.onPlaybackRequest(station->m_audio.buffer(request->buffer));
                station->m_audio.queue(*request);
            }
        }
    }
}

void Harness::hostConnects(SimStation& station, HostSocket socket) {
    station.m_hostLink.setConnected(socket, true);
    station.m_station.onHostConnected(socket);
    deliverPending();
}

void Harness::hostCloses(SimStation& station, HostSocket socket) {
    station.m_hostLink.setConnected(socket, false);
    station.m_station.onHostClosed(socket);
    deliverPending();
}

void Harness::hostSends(SimStation& station, HostSocket socket, std::span<const std::uint8_t> bytes) {
    station.m_station.onHostBytes(socket, bytes);
    deliverPending();
}

void Harness::menu(SimStation& station, MenuItem item) {
    station.m_station.onMenu(item);
    deliverPending();
}

}  // namespace zolk::sim
