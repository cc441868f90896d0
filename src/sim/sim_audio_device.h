// sim_audio_device.h: a sound card on the virtual clock: named devices, a capture direction and a
// playback queue of 200 blocks that plays one block per block period. The harness moves the time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ports/audio_device_port.h"
#include "sim/virtual_time.h"

namespace zolk::sim {

inline constexpr std::size_t kPlaybackBuffers = 200;
inline constexpr std::size_t kStereoBlockSamples = 2 * kBlockSamples;
using StereoBlock = std::array<std::int16_t, kStereoBlockSamples>;

class SimAudioDevice final : public AudioDevicePort {
public:
    // Both directions start with one device each, named "Sim Input" and "Sim Output"; the first
    // device of a direction is the system default. now is the harness's clock.
    explicit SimAudioDevice(const SampleTime& now);

    bool open(AudioDirection direction, const std::string& deviceName) override;
    void close(AudioDirection direction) override;
    void flushPlayback() override;
    std::vector<std::string> deviceNames(AudioDirection direction) const override;

    // Test controls: devices that come and go, and a direction that stops delivering buffers
    // while it stays open (a driver that hangs, a device that was unplugged).
    void setDevices(AudioDirection direction, std::vector<std::string> names);
    void setStalled(AudioDirection direction, bool stalled);

    bool isOpen(AudioDirection direction) const { return side(direction).open; }
    int openCount(AudioDirection direction) const { return side(direction).opens; }
    const std::string& openDevice(AudioDirection direction) const { return side(direction).device; }
    // Whether the direction records or plays the block period that starts at blockStart: it is
    // open, not stalled, and was opened before the period began.
    bool delivering(AudioDirection direction, SampleTime blockStart) const;

    // Playback, driven by the harness. A returned buffer is a request to refill it; the refilled
    // buffer goes back into the queue unless the device was closed or reopened meanwhile.
    struct Request {
        std::size_t buffer;
        std::uint64_t opening;
    };
    std::optional<Request> nextRequest();
    std::span<std::int16_t, kStereoBlockSamples> buffer(std::size_t index) { return m_buffers[index]; }
    void queue(const Request& request);
    // Plays the block at the head of the queue for one block period (silence when nothing is
    // queued, the device is closed or stalled) and returns its buffer as a new request.
    // Writes the left channel into out.
    void playOneBlock(SampleTime blockStart, std::span<float, kBlockSamples> out);
    std::size_t queued() const { return m_queueCount; }
    std::size_t pendingRequests() const { return m_requests.size() - m_requestHead; }

private:
    struct Side {
        std::vector<std::string> devices;
        std::string device;
        bool open = false;
        bool stalled = false;
        int opens = 0;
        SampleTime openedAt = 0;
    };
    Side& side(AudioDirection direction) { return direction == AudioDirection::Capture ? m_capture : m_playback; }
    const Side& side(AudioDirection direction) const {
        return direction == AudioDirection::Capture ? m_capture : m_playback;
    }
    void clearPlayback();

    const SampleTime& m_now;
    Side m_capture;
    Side m_playback;
    std::array<StereoBlock, kPlaybackBuffers> m_buffers{};
    // The card's queue, oldest first, as a ring of buffer numbers.
    std::array<std::size_t, kPlaybackBuffers> m_queue{};
    std::size_t m_queueHead = 0;
    std::size_t m_queueCount = 0;
    // Returned buffers waiting for their request event, oldest first.
    std::vector<std::size_t> m_requests;
    std::size_t m_requestHead = 0;
    std::uint64_t m_opening = 0;  // counts openings and closings of the playback side
};

}  // namespace zolk::sim
