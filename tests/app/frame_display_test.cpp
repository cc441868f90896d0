#include "app/frame_display.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ports/null_ui_sink.h"

namespace zolk {
namespace {

class RecordingUi final : public NullUiSink {
public:
    std::vector<std::string> events;
    void setPanelText(std::string_view key, std::string_view text) override {
        events.push_back(std::string(key) + " " + std::string(text));
    }
    void setPanelTip(std::string_view key, std::string_view tip) override {
        events.push_back(std::string(key) + " tip " + std::string(tip));
    }
    void showSnr(float snrDb) override { events.push_back("snr " + std::to_string(snrDb)); }
    void showAfc(float offsetHz) override { events.push_back("afc " + std::to_string(offsetHz)); }
    void plotCells(std::span<const std::complex<float>> cells, int bits, PlotColour colour) override {
        events.push_back("cells " + std::to_string(cells.size()) + "/" + std::to_string(bits) +
                         (colour == PlotColour::White ? "/white" : "/rating"));
    }
    void plotSoftValues(std::span<const float> softValues, PlotColour colour) override {
        events.push_back("soft " + std::to_string(softValues.size()) +
                         (colour == PlotColour::White ? "/white" : "/rating"));
    }
};

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
        RecordingUi ui;
        showFrame(ui, c.verdict);
        EXPECT_EQ(ui.events, c.events);
    }
}

}  // namespace
}  // namespace zolk
