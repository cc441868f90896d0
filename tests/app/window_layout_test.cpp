#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <array>

namespace zolk {
namespace {

TEST(WindowLayoutTest, ViewsPlaceTheWaterfallAsTheTableSays) {
    constexpr std::int32_t kWaterfall = 1395;
    const auto all = viewLayout(1, kWaterfall);
    EXPECT_EQ(all.windowHeightTwips, 7575);
    EXPECT_EQ(all.waterfallTopTwips, 5040);
    EXPECT_TRUE(all.waterfallVisible);
    EXPECT_TRUE(all.chartAndConstellationVisible);

    const auto waterfall = viewLayout(2, kWaterfall);
    EXPECT_EQ(waterfall.windowHeightTwips, 4075);
    EXPECT_EQ(waterfall.waterfallTopTwips, 1540);
    EXPECT_TRUE(waterfall.waterfallVisible);
    EXPECT_FALSE(waterfall.chartAndConstellationVisible);

    const auto gauges = viewLayout(3, kWaterfall);
    EXPECT_EQ(gauges.windowHeightTwips, 4075 - kWaterfall);
    EXPECT_EQ(gauges.waterfallTopTwips, 1540);
    EXPECT_FALSE(gauges.waterfallVisible);
    EXPECT_FALSE(gauges.chartAndConstellationVisible);
    EXPECT_EQ(gauges.checkedItem, MenuItem::ViewGauges);

    EXPECT_EQ(viewLayout(0, kWaterfall).checkedItem, MenuItem::ViewAll);
}

TEST(WindowLayoutTest, IndicatorsHangBelowAndAboveTheWaterfallTop) {
    const auto tops = indicatorTops(5040, 285, 1200);
    EXPECT_EQ(tops.data, 3600);
    EXPECT_EQ(tops.ack, 3960);
    EXPECT_EQ(tops.nack, 4320);
    EXPECT_EQ(tops.req, 4680);
    EXPECT_EQ(tops.meter, 5040 - 285 - 50);
    EXPECT_EQ(tops.gauge, 5040 - 285 - 50 - 1200);
}

TEST(WindowLayoutTest, MenuTableIsIndexedByItem) {
    for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        EXPECT_EQ(static_cast<std::size_t>(kMenuEntries[i].item), i) << kMenuEntries[i].controlName;
    }
    EXPECT_EQ(menuEntry(MenuItem::Ptt).caption, "PTT...");
}

TEST(WindowLayoutTest, WaterfallIsShownByItsSettingTheViewAndTheWindow) {
    struct Case { const char* name; std::uint8_t waterfall; std::uint8_t view; bool minimised; bool active; bool shown; };
    constexpr std::array<Case, 7> kCases{{
        {"on", 1, 1, false, false, true},
        {"off", 0, 1, false, true, false},
        {"auto, no session", 2, 1, false, false, false},
        {"auto, session", 2, 2, false, true, true},
        {"gauges only", 1, 3, false, true, false},
        {"unknown view shown as all", 1, 0, false, false, true},
        {"minimised", 1, 1, true, true, false},
    }};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(waterfallShown(c.waterfall, c.view, c.minimised, c.active), c.shown);
    }
}

}  // namespace
}  // namespace zolk
