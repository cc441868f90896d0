// channel.h: what happens to audio between one station's transmitter and another's receiver.
// A stage keeps its own state (delay lines, phases, noise source) and sees every block in order.
#pragma once

#include <span>

#include "sim/virtual_time.h"

namespace zolk::sim {

class ChannelStage {
public:
    virtual ~ChannelStage() = default;
    // One block of kBlockSamples samples in 16-bit scale, changed in place.
    virtual void process(std::span<float, kBlockSamples> block) = 0;
};

// The clean channel: audio arrives as it was sent.
class CleanChannel final : public ChannelStage {
public:
    void process(std::span<float, kBlockSamples>) override {}
};

}  // namespace zolk::sim
