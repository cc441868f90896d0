#include "app/gauge_scale.h"

#include <algorithm>
#include <cmath>

namespace zolk {
namespace {

float clampPercent(float percent) { return std::clamp(percent, 0.0F, 100.0F); }

}  // namespace

GaugeReading levelReading(float levelDb) {
    const GaugeColour colour = levelDb < -35.0F  ? GaugeColour::Yellow
                               : levelDb > -5.0F ? GaugeColour::Red
                                                 : GaugeColour::Green;
    const float percent = levelDb >= -40.0F ? clampPercent(100.0F + 2.5F * levelDb) : 0.0F;
    return {percent, colour};
}

GaugeReading snrReading(float snrDb) {
    const GaugeColour colour = snrDb < -13.25F ? GaugeColour::Red
                               : snrDb < -8.5F ? GaugeColour::Yellow
                                               : GaugeColour::Green;
    const float raised = std::max(snrDb, -18.0F);
    return {clampPercent((raised + 18.0F) * 100.0F / 38.0F), colour};
}

GaugeReading afcReading(float offsetHz) {
    const float size = std::abs(offsetHz);
    const GaugeColour colour = size <= 131.8359375F  ? GaugeColour::Green
                               : size <= 175.78125F ? GaugeColour::Yellow
                                                    : GaugeColour::Red;
    return {clampPercent(offsetHz * 100.0F / 351.5625F + 50.0F), colour};
}

GaugeReading cpuReading(float percent) {
    return {clampPercent(percent), percent < 87.5F ? GaugeColour::Green : GaugeColour::Red};
}

}  // namespace zolk
