#include "session/measured_thresholds.h"

#include <iterator>

namespace zolk {
namespace {

constexpr float kSnr90Db[] = {
#include "session/measured_thresholds.inc"
};
static_assert(std::size(kSnr90Db) == kModeCount, "one measured threshold per mode");

}  // namespace

float measuredSnr90Db(int mode) { return kSnr90Db[static_cast<std::size_t>(mode)]; }

const ModeThresholds& measuredThresholdsAdjusted() {
    static const ModeThresholds table = [] {
        ModeThresholds t{};
        for (int m = 0; m < kModeCount; ++m)
            t[static_cast<std::size_t>(m)] = adjustedSnrThreshold(measuredSnr90Db(m), m);
        return t;
    }();
    return table;
}

}  // namespace zolk
