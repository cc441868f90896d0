// fec_test_support.h: frames, permutations and channels for the turbo codec tests.
// Owns the tables of one synthetic frame layout; the codec under test owns everything else.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "phy/fec/fec_config.h"
#include "phy/fec/puncture.h"
#include "phy/fec/turbo_encoder.h"

namespace zolk::test {

// A uniformly drawn permutation of 0..n-1 (Fisher-Yates on a fixed-seed generator).
inline std::vector<std::uint16_t> randomPermutation(int n, std::uint32_t seed) {
    std::vector<std::uint16_t> p(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) p[i] = static_cast<std::uint16_t>(i);
    std::mt19937 rng(seed);
    for (int i = n - 1; i > 0; --i) {
        const int j = static_cast<int>(rng() % static_cast<std::uint32_t>(i + 1));
        std::swap(p[i], p[j]);
    }
    return p;
}

inline std::vector<std::uint8_t> randomBits(int n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(n));
    for (auto& b : bits) b = static_cast<std::uint8_t>(rng() & 1U);
    return bits;
}

// The tables of one frame layout, built the way the tables file would supply them.
struct FrameTables {
    std::vector<std::uint16_t> turboInterleaver;
    std::vector<std::uint16_t> bitInterleaver;
    std::vector<std::uint8_t> whitening;
    FecConfig config;

    FrameTables(int constraint, int rateIndex, int codedBits, std::uint32_t seed)
        : turboInterleaver(
              randomPermutation(turboCapacity(codedBits, constraint, rateIndex), seed)),
          bitInterleaver(randomPermutation(codedBits, seed + 1)),
          whitening(randomBits(turboCapacity(codedBits, constraint, rateIndex), seed + 2)) {
        config.constraint = constraint;
        config.rateIndex = rateIndex;
        config.infoBits = turboCapacity(codedBits, constraint, rateIndex);
        config.codedBits = codedBits;
        config.turboInterleaver = turboInterleaver;
        config.bitInterleaver = bitInterleaver;
        config.pseudoRandomBits = whitening;
    }
    FrameTables(const FrameTables&) = delete;
    FrameTables& operator=(const FrameTables&) = delete;
};

// The transmit chain up to the cells: whitening, turbo encoding, bit interleaving.
inline std::vector<std::uint8_t> transmitBits(const FecConfig& config,
                                              std::span<const std::uint8_t> infoBits) {
    std::vector<std::uint8_t> whitened(infoBits.begin(), infoBits.end());
    for (std::size_t i = 0; i < whitened.size(); ++i) whitened[i] ^= config.pseudoRandomBits[i];
    std::vector<std::uint8_t> coded(static_cast<std::size_t>(config.codedBits));
    turboEncode(whitened, config, coded);
    std::vector<std::uint8_t> sent(coded.size());
    interleaveBits(coded, config.bitInterleaver, sent);
    return sent;
}

inline std::vector<std::uint8_t> packBits(std::span<const std::uint8_t> bits) {
    std::vector<std::uint8_t> bytes(bits.size() / 8);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        for (int b = 0; b < 8; ++b)
            bytes[n] = static_cast<std::uint8_t>(bytes[n] << 1 | bits[8 * n + b]);
    }
    return bytes;
}

// Noise-free soft values of the given magnitude; positive favours bit 1.
inline std::vector<float> cleanSoftValues(std::span<const std::uint8_t> bits, float magnitude) {
    std::vector<float> soft(bits.size());
    for (std::size_t i = 0; i < bits.size(); ++i) soft[i] = bits[i] ? magnitude : -magnitude;
    return soft;
}

// BPSK over additive white Gaussian noise at Es/N0 `esN0Db`, as log-likelihood ratios.
class AwgnChannel {
public:
    AwgnChannel(double esN0Db, std::uint32_t seed)
        : m_sigma(std::sqrt(1.0 / (2.0 * std::pow(10.0, esN0Db / 10.0)))), m_rng(seed) {}

    std::vector<float> softValues(std::span<const std::uint8_t> bits) {
        std::vector<float> soft(bits.size());
        for (std::size_t i = 0; i < bits.size(); ++i) {
            const double y = (bits[i] ? 1.0 : -1.0) + m_sigma * gaussian();
            soft[i] = static_cast<float>(2.0 * y / (m_sigma * m_sigma));
        }
        return soft;
    }

private:
    // Box-Muller on the generator's raw output, so the draws do not depend on the library.
    double gaussian() {
        const double u1 = (static_cast<double>(m_rng()) + 1.0) / 4294967296.0;
        const double u2 = static_cast<double>(m_rng()) / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

    double m_sigma;
    std::mt19937 m_rng;
};

}  // namespace zolk::test
