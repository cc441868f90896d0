#include "app/gauge_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace zolk {
namespace {

struct ReadingCase {
    const char* gauge;
    std::function<GaugeReading(float)> reading;
    float value;
    float percent;
    GaugeColour colour;
};

TEST(GaugeScale, NeedleAndColourAtTheEdgesOfEveryRange) {
    const auto level = [](float v) { return levelReading(v); };
    const auto snr = [](float v) { return snrReading(v); };
    const auto afc = [](float v) { return afcReading(v); };
    const auto cpu = [](float v) { return cpuReading(v); };
    const ReadingCase cases[] = {
        {"level", level, -96.3F, 0.0F, GaugeColour::Yellow},
        {"level", level, -40.0F, 0.0F, GaugeColour::Yellow},
        {"level", level, -35.0F, 12.5F, GaugeColour::Green},
        {"level", level, -20.0F, 50.0F, GaugeColour::Green},
        {"level", level, -5.0F, 87.5F, GaugeColour::Green},
        {"level", level, -4.9F, 87.75F, GaugeColour::Red},
        {"level", level, 0.0F, 100.0F, GaugeColour::Red},
        {"snr", snr, -30.0F, 0.0F, GaugeColour::Red},
        {"snr", snr, -13.3F, (18.0F - 13.3F) * 100.0F / 38.0F, GaugeColour::Red},
        {"snr", snr, -13.25F, (18.0F - 13.25F) * 100.0F / 38.0F, GaugeColour::Yellow},
        {"snr", snr, -8.5F, (18.0F - 8.5F) * 100.0F / 38.0F, GaugeColour::Green},
        {"snr", snr, 1.0F, 50.0F, GaugeColour::Green},
        {"snr", snr, 25.0F, 100.0F, GaugeColour::Green},
        {"afc", afc, 0.0F, 50.0F, GaugeColour::Green},
        {"afc", afc, 20.0F, 20.0F * 100.0F / 351.5625F + 50.0F, GaugeColour::Green},
        {"afc", afc, -131.8359375F, 12.5F, GaugeColour::Green},
        {"afc", afc, 175.78125F, 100.0F, GaugeColour::Yellow},
        {"afc", afc, -175.8F, 0.0F, GaugeColour::Red},
        {"afc", afc, 400.0F, 100.0F, GaugeColour::Red},
        {"cpu", cpu, 12.0F, 12.0F, GaugeColour::Green},
        {"cpu", cpu, 87.5F, 87.5F, GaugeColour::Red},
    };
    for (const ReadingCase& c : cases) {
        const GaugeReading r = c.reading(c.value);
        EXPECT_NEAR(r.percent, c.percent, 1e-3) << c.gauge << " " << c.value;
        EXPECT_EQ(r.colour, c.colour) << c.gauge << " " << c.value;
    }
}

}  // namespace
}  // namespace zolk
