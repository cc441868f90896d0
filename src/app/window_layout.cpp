#include "app/window_layout.h"

namespace zolk {

ViewLayout viewLayout(std::uint8_t viewMode, std::int32_t waterfallHeightTwips) {
    switch (viewMode) {
    case 2:
        return {4075, 1540, true, false, MenuItem::ViewWaterfall};
    case 3:
        return {4075 - waterfallHeightTwips, 1540, false, false, MenuItem::ViewGauges};
    default:
        return {7575, 5040, true, true, MenuItem::ViewAll};
    }
}

bool waterfallShown(std::uint8_t waterfallMode, std::uint8_t viewMode, bool windowMinimised, bool sessionActive) {
    const bool on = waterfallMode == 1 || (waterfallMode == 2 && sessionActive);
    return on && viewLayout(viewMode, 0).waterfallVisible && !windowMinimised;
}

IndicatorTops indicatorTops(std::int32_t waterfallTopTwips, std::int32_t meterBoxHeightTwips,
                            std::int32_t gaugeHeightTwips) {
    constexpr std::int32_t kLampStep = 360;
    IndicatorTops tops{};
    tops.data = waterfallTopTwips - 1440;
    tops.ack = tops.data + kLampStep;
    tops.nack = tops.ack + kLampStep;
    tops.req = tops.nack + kLampStep;
    tops.meter = waterfallTopTwips - meterBoxHeightTwips - 50;
    tops.gauge = tops.meter - gaugeHeightTwips;
    return tops;
}

}  // namespace zolk
