#include "app/frame_display.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "sim/recording_ui.h"

namespace zolk {
namespace {

TEST(FrameDisplay, ShowsWhatTheVerdictAllows) {
    const std::array<Complex, 3> cells{};
    const std::array<float, 4> softValues{};
    FrameVerdict carrier{8, true, 6.5f, 0.0f, {}, {true, true, 7.5f, false, 2, cells, {}}};
    FrameVerdict robust{0, false, 3.0f, 0.0f, {}, {true, false, 0.0f, false, 1, {}, softValues}};
    FrameVerdict firstOfTwo{8, true, 6.5f, 0.0f, {}, {}};
    FrameVerdict monitored = carrier;
    monitored.display.rateHeard = true;
    struct Case {
        const char* name;
        const FrameVerdict& verdict;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"good carrier frame", carrier, {"snr 6.500000", "afc 7.500000", "cells 3/2/rating"}},
        {"failed robust frame", robust, {"snr 3.000000", "soft 4/white"}},
        {"first of two", firstOfTwo, {}},
        {"monitored", monitored,
         {"Baud (8)  1978 bps", "Baud tip Baud Rate", "snr 6.500000", "afc 7.500000", "cells 3/2/rating"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RecordingUi ui(sim::CallLog::Kept);
        showFrame(ui, c.verdict);
        EXPECT_EQ(ui.calls(), c.events);
    }
}

}  // namespace
}  // namespace zolk
