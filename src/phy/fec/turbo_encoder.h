// turbo_encoder.h: the transmit side of the FEC: outer stage, turbo encoder, bit interleaver.
// Owns no state; whitening, bit expansion and cell mapping belong to the frame modulator.
#pragma once

#include <cstdint>
#include <span>

#include "phy/fec/fec_config.h"

namespace zolk {

// Outer byte stage. Its parity fraction is 0 in every mode, so it passes the bytes through;
// `out` must be as long as `bytes`.
void outerEncode(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out);

// Encodes config.infoBits bits (0 or 1) into config.codedBits bits: both constituent encoders
// terminated to state 0, data multiplexed through the puncturing pattern, then the K-1 tail
// steps unpunctured (encoder-1 bit and parity, encoder-2 bit and parity per step). Positions
// after the encoder's output are set to 0. Returns the encoder length.
// Throws std::invalid_argument for a bad configuration or spans of the wrong size.
int turboEncode(std::span<const std::uint8_t> infoBits, const FecConfig& config,
                std::span<std::uint8_t> codedBits);

// out[i] = coded[bitInterleaver[i]]; all three spans have the same size.
void interleaveBits(std::span<const std::uint8_t> coded,
                    std::span<const std::uint16_t> bitInterleaver, std::span<std::uint8_t> out);

}  // namespace zolk
