// portaudio_device.h: the sound card through PortAudio: one capture and one playback stream at
// 48000 Hz, 16-bit stereo. Owns the streams and their sample rings; the driver's thread only moves
// samples and wakes the main thread when a few blocks are ready (or the playback queue has room
// for them), and the main thread cuts 256-frame blocks and hands them to the station.
#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <memory>

#include "ports/audio_device_port.h"
#include "shell/main_thread_wake.h"
#include "shell/sample_ring.h"

namespace zolk {
class Station;
}

namespace zolk::shell {

class PortAudioDevice final : public QObject, public AudioDevicePort {
    Q_OBJECT
public:
    explicit PortAudioDevice(QObject* parent = nullptr);
    ~PortAudioDevice() override;
    PortAudioDevice(const PortAudioDevice&) = delete;
    PortAudioDevice& operator=(const PortAudioDevice&) = delete;

    // Blocks go to the station from now on; null drops captured blocks and plays silence.
    void attach(Station* station) { m_station = station; }

    bool open(AudioDirection direction, const std::string& deviceName) override;
    void close(AudioDirection direction) override;
    void flushPlayback() override;
    std::vector<std::string> deviceNames(AudioDirection direction) const override;

    // Why PortAudio could not start (nothing can be opened then), or empty.
    const std::string& initError() const { return m_initError; }

    // The driver's side of one open stream.
    struct StreamShared {
        StreamShared(std::size_t capacity, int channelCount, const MainThreadWake& mainThread)
            : ring(capacity), channels(channelCount), wake(mainThread) {}
        // The driver's thread: wakes the main thread unless a wake is already pending.
        void wakeMainThread() {
            if (!wakePending.exchange(true, std::memory_order_acq_rel)) wake.wake();
        }
        SampleRing ring;  // interleaved stereo, whatever the device's channel count
        int channels;     // the device's: 1 or 2
        const MainThreadWake& wake;
        // Set by the driver's thread when it wakes the main thread, cleared by the main thread
        // before it empties or fills the ring, so no block waits for a wake that never comes.
        std::atomic<bool> wakePending{false};
        // Playback: the queue level at or below which the main thread is woken to refill it.
        std::atomic<std::size_t> refillLevel{0};
    };

private:
    struct Stream {
        void* handle = nullptr;  // PaStream
        std::unique_ptr<StreamShared> shared;
        std::size_t queueSamples = 0;  // playback: how much to keep queued ahead of the card
    };

    void pump();
    void pumpCapture();
    void pumpPlayback();
    void closeStream(Stream& stream);
    // A stream the driver stopped (device unplugged or failed) is closed and reported to the
    // station, whose watchdog reopens it.
    void dropFailedStream(AudioDirection direction);
    Stream& stream(AudioDirection direction) { return m_streams[static_cast<std::size_t>(direction)]; }

    bool m_initialised = false;
    std::string m_initError;
    std::array<Stream, 2> m_streams;
    MainThreadWake m_wake;
    std::array<std::int16_t, 512> m_block{};
    Station* m_station = nullptr;
};

}  // namespace zolk::shell
