// recording_entries.h: the receiver's session entries as a test sees them: every frame handed over,
// in order, with its bytes (and the mode of a monitored frame).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "phy/rx/frame_entries.h"

namespace zolk::test {

struct HeardFrame {
    std::string entry;
    std::vector<std::uint8_t> bytes;
    int mode = -1;  // onMonitorFrame only
};

class RecordingEntries final : public FrameSessionEntries {
public:
    void onFirstFrame(std::span<const std::uint8_t> frame, float) override { add("onFirstFrame", frame); }
    void onFrame(std::span<const std::uint8_t> frame, float) override { add("onFrame", frame); }
    void onFirstFrameFailed() override { add("onFirstFrameFailed", {}); }
    void onMissingFrame() override { add("onMissingFrame", {}); }
    bool onMonitorFrame(std::span<const std::uint8_t> frame, int mode) override {
        add("onMonitorFrame", frame);
        heard.back().mode = mode;
        return hideMonitorFrames;
    }

    // The entries by name, with the frame's size where there is one: "onFirstFrame 3", "onMissingFrame".
    std::vector<std::string> calls() const {
        std::vector<std::string> result;
        for (const HeardFrame& h : heard) {
            result.push_back(h.bytes.empty() ? h.entry : h.entry + " " + std::to_string(h.bytes.size()));
        }
        return result;
    }

    // What a monitored frame's entry answers: whether the session hides it from the monitor.
    bool hideMonitorFrames = false;
    std::vector<HeardFrame> heard;

private:
    void add(const char* entry, std::span<const std::uint8_t> frame) {
        heard.push_back({entry, std::vector<std::uint8_t>(frame.begin(), frame.end())});
    }
};

}  // namespace zolk::test
