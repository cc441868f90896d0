#include "phy/fec/fec_config.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "phy/fec/puncture.h"
#include "phy/fec/trellis.h"

namespace zolk {
namespace {

void require(bool condition, const std::string& what) {
    if (!condition) throw std::invalid_argument("FEC configuration: " + what);
}

bool indicesBelow(std::span<const std::uint16_t> permutation, int limit) {
    return std::all_of(permutation.begin(), permutation.end(),
                       [limit](std::uint16_t i) { return i < limit; });
}

}  // namespace

void checkFecConfig(const FecConfig& config) {
    require(isSupportedConstraint(config.constraint),
            "constraint length " + std::to_string(config.constraint) + " is not 3, 4 or 5");
    require(isSupportedRateIndex(config.rateIndex),
            "rate index " + std::to_string(config.rateIndex) + " has no puncturing pattern");
    require(config.infoBits > 0, "no information bits");
    const int encoded = turboEncodedLength(config.infoBits, config.constraint, config.rateIndex);
    require(encoded <= config.codedBits,
            std::to_string(config.infoBits) + " information bits need " + std::to_string(encoded) +
                " coded bits, the frame holds " + std::to_string(config.codedBits));
    require(config.rateIndex == kUncodedRateIndex ||
                config.turboInterleaver.size() == static_cast<std::size_t>(config.infoBits),
            "turbo interleaver size differs from the information bit count");
    require(indicesBelow(config.turboInterleaver, config.infoBits),
            "turbo interleaver index out of range");
    require(config.bitInterleaver.size() == static_cast<std::size_t>(config.codedBits),
            "bit interleaver size differs from the coded bit count");
    require(indicesBelow(config.bitInterleaver, config.codedBits),
            "bit interleaver index out of range");
    require(config.pseudoRandomBits.size() >= static_cast<std::size_t>(config.infoBits),
            "whitening sequence shorter than the information bits");
}

}  // namespace zolk
