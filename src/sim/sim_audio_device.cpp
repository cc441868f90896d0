#include "sim/sim_audio_device.h"

#include <algorithm>
#include <utility>

namespace zolk::sim {

SimAudioDevice::SimAudioDevice(const SampleTime& now) : m_now(now) {
    m_capture.devices = {"Sim Input"};
    m_playback.devices = {"Sim Output"};
    m_requests.reserve(kPlaybackBuffers);
}

bool SimAudioDevice::open(AudioDirection direction, const std::string& deviceName) {
    close(direction);
    auto& s = side(direction);
    const auto found = deviceName.empty() ? s.devices.begin() : std::find(s.devices.begin(), s.devices.end(), deviceName);
    if (found == s.devices.end()) return false;
    s.device = *found;
    s.open = true;
    s.stalled = false;
    s.openedAt = m_now;
    ++s.opens;
    if (direction == AudioDirection::Playback) {
        ++m_opening;
        // Every buffer starts out returned: their requests start the playback loop.
        for (std::size_t i = 0; i < kPlaybackBuffers; ++i) m_requests.push_back(i);
    }
    return true;
}

void SimAudioDevice::close(AudioDirection direction) {
    auto& s = side(direction);
    s.open = false;
    s.device.clear();
    if (direction == AudioDirection::Playback) {
        ++m_opening;
        clearPlayback();
    }
}

void SimAudioDevice::clearPlayback() {
    m_queueHead = 0;
    m_queueCount = 0;
    m_requests.clear();
    m_requestHead = 0;
}

void SimAudioDevice::flushPlayback() {
    if (!m_playback.open) return;
    for (; m_queueCount > 0; --m_queueCount) {
        m_requests.push_back(m_queue[m_queueHead]);
        m_queueHead = (m_queueHead + 1) % kPlaybackBuffers;
    }
}

std::vector<std::string> SimAudioDevice::deviceNames(AudioDirection direction) const {
    return side(direction).devices;
}

void SimAudioDevice::setDevices(AudioDirection direction, std::vector<std::string> names) {
    auto& s = side(direction);
    s.devices = std::move(names);
    if (s.open && std::find(s.devices.begin(), s.devices.end(), s.device) == s.devices.end()) s.stalled = true;
}

void SimAudioDevice::setStalled(AudioDirection direction, bool stalled) { side(direction).stalled = stalled; }

std::optional<SimAudioDevice::Request> SimAudioDevice::nextRequest() {
    if (m_requestHead == m_requests.size()) {
        m_requests.clear();
        m_requestHead = 0;
        return std::nullopt;
    }
    return Request{m_requests[m_requestHead++], m_opening};
}

void SimAudioDevice::queue(const Request& request) {
    if (!m_playback.open || request.opening != m_opening) return;
    m_queue[(m_queueHead + m_queueCount) % kPlaybackBuffers] = request.buffer;
    ++m_queueCount;
}

bool SimAudioDevice::delivering(AudioDirection direction, SampleTime blockStart) const {
    const auto& s = side(direction);
    return s.open && !s.stalled && blockStart >= s.openedAt;
}

void SimAudioDevice::playOneBlock(SampleTime blockStart, std::span<float, kBlockSamples> out) {
    std::fill(out.begin(), out.end(), 0.0F);
    if (!delivering(AudioDirection::Playback, blockStart) || m_queueCount == 0) return;
    const auto index = m_queue[m_queueHead];
    m_queueHead = (m_queueHead + 1) % kPlaybackBuffers;
    --m_queueCount;
    for (std::size_t k = 0; k < kBlockSamples; ++k) out[k] = static_cast<float>(m_buffers[index][2 * k]);
    m_requests.push_back(index);
}

}  // namespace zolk::sim
