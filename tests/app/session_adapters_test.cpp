// The session's display and host adapters: what each session call becomes on the station's side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session_host_adapter.h"
#include "app/session_ui_adapter.h"
#include "sim/recording_host_link.h"
#include "sim/recording_ui.h"
#include "support/recording_links.h"
#include "support/recording_timers.h"

namespace zolk {
namespace {

// The lamps as the radio control paints them: the kind and whether it repeats data.
class RecordingIndicators final : public TransmitIndicators {
public:
    void resetIndicators() override { lit.clear(); }
    void lightIndicator(TransmitIndicator kind, bool repetition) override { lit.push_back({kind, repetition}); }
    struct Lit {
        TransmitIndicator kind;
        bool repetition;
        bool operator==(const Lit&) const = default;
    };
    std::vector<Lit> lit;
};

TEST(SessionUiAdapter, DataLampRepeatsOnlyWhileTheSessionSaysSo) {
    sim::RecordingUi ui;
    RecordingIndicators lamps;
    Settings settings;
    SessionUiAdapter adapter(ui, lamps, settings);
    adapter.lightLamp(Lamp::Data);
    adapter.showRepeat(true);
    adapter.lightLamp(Lamp::Data);
    adapter.lightLamp(Lamp::Nack);
    adapter.showRepeat(false);
    adapter.lightLamp(Lamp::Data);
    using L = RecordingIndicators::Lit;
    const std::vector<L> expected{{TransmitIndicator::Data, false},
                                  {TransmitIndicator::Data, true},
                                  {TransmitIndicator::Nack, false},
                                  {TransmitIndicator::Data, false}};
    EXPECT_EQ(lamps.lit, expected);
    adapter.clearLamps();
    EXPECT_TRUE(lamps.lit.empty());
}

TEST(SessionUiAdapter, MenusChartAndMessagesReachTheDisplay) {
    sim::RecordingUi ui;
    RecordingIndicators lamps;
    Settings settings;
    SessionUiAdapter adapter(ui, lamps, settings);
    adapter.enableSetupMenus(false);
    for (const MenuItem item : {MenuItem::Setup, MenuItem::Ptt, MenuItem::Monitor})
        EXPECT_FALSE(ui.menu(item).enabled) << static_cast<int>(item);
    // In monitor mode the setup and PTT menus stay off after a link; the monitor menu comes back.
    settings.monitorMode = 1;
    adapter.enableSetupMenus(true);
    EXPECT_FALSE(ui.menu(MenuItem::Setup).enabled);
    EXPECT_FALSE(ui.menu(MenuItem::Ptt).enabled);
    EXPECT_TRUE(ui.menu(MenuItem::Monitor).enabled);
    settings.monitorMode = 0;
    adapter.enableSetupMenus(true);
    EXPECT_TRUE(ui.menu(MenuItem::Setup).enabled);
    EXPECT_TRUE(ui.menu(MenuItem::Ptt).enabled);

    adapter.resetChart(ChartColour::Red);
    adapter.chartPoint(1383);
    adapter.chartPoint(0);
    EXPECT_EQ(ui.chartColour(), ChartColour::Red);
    EXPECT_EQ(ui.chartPoints(), (std::vector<int>{1383, 0}));
    adapter.messageBox("HandOver error");
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0], std::make_pair(std::string("ZOLK SAT"), std::string("HandOver error")));
}

TEST(SessionHostAdapter, StatusLinesCallSignsAndFlags) {
    sim::RecordingHostLink link;
    sim::RecordingUi ui;
    test::RecordingTimers timers;
    test::RecordingLinks links;
    std::int32_t commandPort = 8300;
    std::uint8_t listenAll = 0;
    HostInterface host(link, ui, timers, {commandPort, listenAll}, links.links());
    link.setConnected(HostSocket::Command, true);
    link.setConnected(HostSocket::Data, true);
    SessionHostAdapter adapter(host, link);
    host.protocol().onCommandBytes(std::vector<std::uint8_t>{'M', 'Y', 'C', 'A', 'L', 'L', ' ', 'E', 'A', '5', 'A',
                                                             'B', 'C', ' ', 'N', '0', 'C', 'A', 'L', 'L', '\r'});
    link.clearSent(HostSocket::Command);
    adapter.pending();
    adapter.cancelPending();
    adapter.connected("EA5ABC-7", "N0CALL");
    adapter.buffer(1234);
    adapter.disconnected();
    EXPECT_EQ(link.sentText(HostSocket::Command), "PENDING\rCANCELPENDING\rCONNECTED EA5ABC-7 N0CALL\rBUFFER 1234\rDISCONNECTED\r");
    EXPECT_EQ(adapter.myCall(1), "EA5ABC");
    EXPECT_EQ(adapter.myCall(2), "N0CALL");
    EXPECT_EQ(adapter.myCall(3), "");
    EXPECT_FALSE(adapter.listening());
    host.protocol().setListenMode(true);
    EXPECT_TRUE(adapter.listening());
    EXPECT_FALSE(adapter.publicFlag());
    adapter.holdDataPort(true);
    EXPECT_TRUE(link.readingHeld(HostSocket::Data));
}

}  // namespace
}  // namespace zolk
