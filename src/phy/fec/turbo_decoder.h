// turbo_decoder.h: the receive side of the FEC, run in steps 1..9 across a frame's decode stages.
// Owns the per-frame decoder streams, sized once; soft values and frame acceptance belong to the
// receivers.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "phy/fec/fec_config.h"
#include "phy/fec/max_log_map.h"

namespace zolk {

// Soft values: positive favours bit 1. Step 1 is setUp(); steps 2..9 are fecStep(); after step 9
// finish() yields the frame bytes. The state of one frame lives until the next setUp().
class TurboDecoder {
public:
    static constexpr int kFirstIterationStep = 2;
    static constexpr int kLastIterationStep = 9;

    // Buffers for frames of up to `maxInfoBits` information and `maxCodedBits` coded bits.
    TurboDecoder(int maxInfoBits, int maxCodedBits);

    // Step 1: de-interleave config.codedBits soft values and set up both decoders; clears the
    // converged flag and the last decisions. Throws std::invalid_argument for a configuration
    // that does not fit the buffers or soft values of the wrong count.
    void setUp(const FecConfig& config, std::span<const float> softValues);

    // Each of steps 2..9 runs four constituent passes, decoders 1 and 2 in turn; after each pass
    // of decoder 2 it takes hard decisions and tests convergence (two equal decision sets in a
    // row, the first compared with all zeros). Nothing happens once converged, nor for a step
    // outside 2..9.
    void fecStep(int step);

    // The end of step 9: descramble the decisions, pack them into InfoBits / 8 bytes, most
    // significant bit first, and pass them through the outer stage into `frameBytes`
    // (exactly InfoBits / 8 entries).
    void finish(std::span<std::uint8_t> frameBytes) const;

    bool converged() const { return m_converged; }
    // Constituent decoder passes run on the current frame.
    int halfIterations() const { return m_halfIterations; }
    // The last hard decisions, still whitened (InfoBits entries of 0 or 1).
    std::span<const std::uint8_t> decisions() const;

private:
    void decoder1Pass();
    void decoder2Pass();

    int m_maxInfoBits;
    int m_maxCodedBits;
    FecConfig m_config;
    int m_steps = 0;  // L = InfoBits + K - 1
    bool m_converged = false;
    int m_halfIterations = 0;

    std::vector<float> m_deinterleaved;  // D, CodedBits entries
    std::vector<float> m_systematic1;
    std::vector<float> m_systematic2;
    std::vector<float> m_parity1;
    std::vector<float> m_parity2;
    std::vector<float> m_apriori;
    std::vector<float> m_extrinsic1;
    std::vector<float> m_extrinsic2;
    std::vector<float> m_aposteriori;
    std::vector<std::uint8_t> m_decisions;
    MaxLogMap m_siso;
};

}  // namespace zolk
