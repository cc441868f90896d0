// audio_device_port.h: the sound card as the core sees it: one capture and one playback
// direction, each opened by exact device name. The backend delivers 256-frame blocks as events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zolk {

enum class AudioDirection : std::uint8_t { Capture, Playback };

class AudioDevicePort {
public:
    virtual ~AudioDevicePort() = default;
    // Opens the device whose name equals deviceName exactly (empty: the system default).
    // Returns false, and leaves the direction closed, when no device matches or it fails to open.
    virtual bool open(AudioDirection direction, const std::string& deviceName) = 0;
    virtual void close(AudioDirection direction) = 0;
    // Discards the queued playback audio. Every discarded block comes back later as a
    // playback request event, never from inside this call.
    virtual void flushPlayback() = 0;
    virtual std::vector<std::string> deviceNames(AudioDirection direction) const = 0;
};

}  // namespace zolk
