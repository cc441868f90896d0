// keyed_engine.h: an audio engine without a sound card, keyed by the test, for driving the
// transmit generators exactly as playback does. Records the left channel of every keyed buffer.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "phy/common/audio_engine.h"
#include "phy/tx/symbol_feeder.h"
#include "support/fake_audio_devices.h"

namespace zolk {

class KeyedEngine : TransmitKeying, public PttRelease {
public:
    KeyedEngine() = default;

    AudioEngine& engine() { return m_engine; }
    int releases() const { return m_releases; }

    // Keys up and plays buffers until PTT is released (or maxBuffers have played); returns the
    // left channel from the key-up buffer to the last buffer played while keyed.
    std::vector<std::int16_t> play(int maxBuffers = 100000) {
        std::vector<std::int16_t> played;
        std::array<std::int16_t, 2 * kAudioBlockLength> stereo{};
        m_keyed = true;
        for (int n = 0; m_keyed && n < maxBuffers; ++n) {
            m_engine.onPlaybackRequest(stereo);
            for (std::size_t i = 0; i < kAudioBlockLength; ++i) {
                EXPECT_EQ(stereo[2 * i], stereo[2 * i + 1]);
                played.push_back(stereo[2 * i]);
            }
        }
        return played;
    }
    // Drops PTT as the tune control does; the engine sees it at the next buffer.
    void unkey() {
        m_keyed = false;
        std::array<std::int16_t, 2 * kAudioBlockLength> stereo{};
        m_engine.onPlaybackRequest(stereo);
    }
    bool keyed() const { return m_keyed; }

    void pttOff() override {
        m_keyed = false;
        ++m_releases;
    }

private:
    bool transmitActive() const override { return m_keyed; }

    bool m_keyed = false;
    int m_releases = 0;
    test::FakeAudioDevices m_devices;
    AudioEngine m_engine{m_devices, [](const std::string&) {}, *this};
};

}  // namespace zolk
