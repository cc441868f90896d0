// gauge_scale.h: what the round gauges show for a value: the needle's place (0 % points left,
// 50 % up, 100 % right) and the colour of the text box beside it, and the input level in dB of a
// capture peak. Plain arithmetic for the window; owns no state.
#pragma once

#include <cstdint>

namespace zolk {

enum class GaugeColour : std::uint8_t { Neutral, Green, Yellow, Red };

struct GaugeReading {
    float percent = 0.0F;  // 0..100
    GaugeColour colour = GaugeColour::Neutral;
};

// Yellow below -35 dB (too quiet), green up to -5 dB, red above (near clipping); the needle spans
// -40..0 dB and rests at 0 below.
GaugeReading levelReading(float levelDb);
// Red below -13.25 dB, yellow below -8.5 dB, green from there; the needle spans -18..+20 dB.
GaugeReading snrReading(float snrDb);
// By the size of the offset: green up to 131.8359375 Hz, yellow up to 175.78125 Hz, red beyond;
// the needle stands up at 0 Hz and reaches the ends at -/+175.78125 Hz.
GaugeReading afcReading(float offsetHz);
// Our process's share of a processor: green below 87.5 %, red from there.
GaugeReading cpuReading(float percent);

}  // namespace zolk
