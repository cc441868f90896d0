// frame_fec_decoder.h: what frame acceptance needs of a FEC decoder, steps 1..9 over a frame's
// soft values. The turbo decoder of the speed modes implements it; tests script it.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

class FrameFecDecoder {
public:
    virtual ~FrameFecDecoder() = default;
    virtual void fecStep(int step, int mode, std::span<const float> softValues) = 0;
    // NetBytes frame bytes, complete after step 9.
    virtual std::span<const std::uint8_t> frameBytes() const = 0;
};

}  // namespace zolk
