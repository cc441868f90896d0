// fake_audio_devices.h: a sound card without sound: the devices the test lists, and every open,
// close and flush the core asked for. Opening the system default (no name) always succeeds.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ports/audio_device_port.h"

namespace zolk::test {

class FakeAudioDevices final : public AudioDevicePort {
public:
    explicit FakeAudioDevices(std::vector<std::string> devices = {}) : present(std::move(devices)) {}

    bool open(AudioDirection direction, const std::string& deviceName) override {
        opens.push_back({direction, deviceName});
        return deviceName.empty() || std::find(present.begin(), present.end(), deviceName) != present.end();
    }
    void close(AudioDirection direction) override { closes.push_back(direction); }
    void flushPlayback() override { ++flushes; }
    std::vector<std::string> deviceNames(AudioDirection) const override { return present; }

    int opensOf(AudioDirection direction) const {
        return static_cast<int>(std::count_if(opens.begin(), opens.end(),
                                              [&](const Open& o) { return o.direction == direction; }));
    }

    struct Open {
        AudioDirection direction;
        std::string name;
    };
    // The devices of both directions, by name.
    std::vector<std::string> present;
    std::vector<Open> opens;
    std::vector<AudioDirection> closes;
    int flushes = 0;
};

}  // namespace zolk::test
