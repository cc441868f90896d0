// frame_entries.h: the session layer's side of frame dispatch: what becomes of a frame, good or
// failed. The reception schedule calls exactly one entry per frame verdict or missed deadline.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

class FrameSessionEntries {
public:
    virtual ~FrameSessionEntries() = default;
    virtual void onFirstFrame(std::span<const std::uint8_t> frame, float snrDb) = 0;
    virtual void onFrame(std::span<const std::uint8_t> frame, float snrDb) = 0;
    virtual void onFirstFrameFailed() = 0;
    virtual void onMissingFrame() = 0;
    // Returns true when the frame is not to be shown.
    virtual bool onMonitorFrame(std::span<const std::uint8_t> frame, int mode) = 0;
};

}  // namespace zolk
