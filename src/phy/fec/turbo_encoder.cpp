#include "phy/fec/turbo_encoder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "phy/fec/puncture.h"
#include "phy/fec/trellis.h"

namespace zolk {
namespace {

void requireSize(std::size_t size, std::size_t expected, const char* what) {
    if (size != expected) {
        throw std::invalid_argument(std::string(what) + ": " + std::to_string(size) +
                                    " entries, expected " + std::to_string(expected));
    }
}

}  // namespace

void outerEncode(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out) {
    requireSize(out.size(), bytes.size(), "outer stage output");
    std::copy(bytes.begin(), bytes.end(), out.begin());
}

int turboEncode(std::span<const std::uint8_t> infoBits, const FecConfig& config,
                std::span<std::uint8_t> codedBits) {
    checkFecConfig(config);
    requireSize(infoBits.size(), static_cast<std::size_t>(config.infoBits), "turbo encoder input");
    requireSize(codedBits.size(), static_cast<std::size_t>(config.codedBits),
                "turbo encoder output");
    std::fill(codedBits.begin(), codedBits.end(), std::uint8_t{0});

    if (config.rateIndex == kUncodedRateIndex) {
        std::transform(infoBits.begin(), infoBits.end(), codedBits.begin(),
                       [](std::uint8_t b) { return std::uint8_t{b != 0}; });
        return config.infoBits;
    }

    const Trellis& t = trellisFor(config.constraint);
    const PuncturePattern& pattern = kPuncturePattern[config.rateIndex];
    // Both encoders advance together: encoder 2 reads the interleaved input v[m] = u[pi[m]], so
    // the multiplexer needs no intermediate parity arrays.
    int state1 = 0;
    int state2 = 0;
    int out = 0;
    int r = 0;
    for (int k = 0; k < config.infoBits; ++k) {
        const int u = infoBits[k] != 0;
        const int v = infoBits[config.turboInterleaver[k]] != 0;
        const PunctureFlags& send = pattern.at[r];
        if (send.systematic) codedBits[out++] = static_cast<std::uint8_t>(u);
        if (send.parity1) codedBits[out++] = t.parityOut[u][state1];
        if (send.parity2) codedBits[out++] = t.parityOut[v][state2];
        state1 = t.nextState[u][state1];
        state2 = t.nextState[v][state2];
        r = (r + 1 == pattern.period) ? 0 : r + 1;
    }

    // The tail tables always reach state 0 (checked where the trellis is built).
    const int end1 = state1;
    const int end2 = state2;
    for (int step = 0; step < config.constraint - 1; ++step) {
        const int tail1 = t.tailBit[step][end1];
        const int tail2 = t.tailBit[step][end2];
        codedBits[out++] = static_cast<std::uint8_t>(tail1);
        codedBits[out++] = t.parityOut[tail1][state1];
        codedBits[out++] = static_cast<std::uint8_t>(tail2);
        codedBits[out++] = t.parityOut[tail2][state2];
        state1 = t.nextState[tail1][state1];
        state2 = t.nextState[tail2][state2];
    }
    return out;
}

void interleaveBits(std::span<const std::uint8_t> coded,
                    std::span<const std::uint16_t> bitInterleaver, std::span<std::uint8_t> out) {
    requireSize(bitInterleaver.size(), coded.size(), "bit interleaver");
    requireSize(out.size(), coded.size(), "interleaved bits");
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (bitInterleaver[i] >= coded.size()) {
            throw std::invalid_argument("bit interleaver index out of range");
        }
        out[i] = coded[bitInterleaver[i]];
    }
}

}  // namespace zolk
