#include "app/window_layout.h"

namespace zolk {

ViewLayout viewLayout(std::uint8_t viewMode, std::int32_t waterfallHeight_twips) {
    switch (viewMode) {
    case 2:
        return {4075, 1540, true, false, MenuItem::ViewWaterfall};
    case 3:
        return {4075 - waterfallHeight_twips, 1540, false, false, MenuItem::ViewGauges};
    default:
        return {7575, 5040, true, true, MenuItem::ViewAll};
    }
}

IndicatorTops indicatorTops(std::int32_t waterfallTop_twips, std::int32_t meterBoxHeight_twips,
                            std::int32_t gaugeHeight_twips) {
    constexpr std::int32_t kLampStep = 360;
    IndicatorTops tops{};
    tops.data = waterfallTop_twips - 1440;
    tops.ack = tops.data + kLampStep;
    tops.nack = tops.ack + kLampStep;
    tops.req = tops.nack + kLampStep;
    tops.meter = waterfallTop_twips - meterBoxHeight_twips - 50;
    tops.gauge = tops.meter - gaugeHeight_twips;
    return tops;
}

}  // namespace zolk
