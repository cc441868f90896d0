#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextStream>

#include "app/station.h"
#include "app/window_layout.h"
#include "shell/led_icons.h"
#include "shell/portaudio_device.h"
#include "shell/qt_host_link.h"
#include "shell/qt_timer_port.h"
#include "shell/twips.h"
#include "test_application.h"
#include "version.h"

namespace zolk::shell {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The top menu ("&Settings" or "&Help") an action sits under, however deep.
QString topMenuOf(const MainWindow& window, const QAction* action) {
    for (QAction* top : window.menuBar()->actions()) {
        const std::function<bool(QMenu*)> holds = [&](QMenu* menu) {
            for (QAction* a : menu->actions()) {
                if (a == action || (a->menu() != nullptr && (a->menu()->menuAction() == action || holds(a->menu()))))
                    return true;
            }
            return false;
        };
        if (top->menu() != nullptr && holds(top->menu())) return top->text();
    }
    return {};
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }
};

TEST_F(MainWindowTest, EveryMenuItemHasItsNameCaptionAndTopMenu) {
    MainWindow window;
    for (const MenuEntry& entry : kMenuEntries) {
        SCOPED_TRACE(std::string(entry.controlName));
        const QAction* action = window.menuAction(entry.item);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->objectName(), q(entry.controlName));
        EXPECT_EQ(action->text(), q(entry.caption));
        EXPECT_EQ(topMenuOf(window, action), entry.topMenu == TopMenu::Settings ? "&Settings" : "&Help");
    }
    QStringList tops;
    for (QAction* top : window.menuBar()->actions()) tops << top->text();
    EXPECT_EQ(tops, (QStringList{"&Settings", "&Help"}));
    EXPECT_EQ(window.windowTitle().toStdString(), kWindowCaption);
}

TEST_F(MainWindowTest, StatusBarHasTheNinePanelsInOrder) {
    MainWindow window;
    const QList<StatusPanelWidget*> panels = window.statusBar()->findChildren<StatusPanelWidget*>();
    ASSERT_EQ(panels.size(), static_cast<qsizetype>(kStatusPanels.size()));
    for (std::size_t i = 0; i < kStatusPanels.size(); ++i) {
        const zolk::StatusPanel& figures = kStatusPanels[i];
        SCOPED_TRACE(std::string(figures.key));
        EXPECT_EQ(panels[static_cast<qsizetype>(i)]->objectName(), q(figures.key));
        const StatusPanelWidget* panel = window.panel(figures.key);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->text(), q(figures.initialText));
        EXPECT_TRUE(panel->iconKey().isEmpty());
        if (!figures.autoSize) {
            EXPECT_EQ(panel->width(), pixels(figures.widthTwips));
        }
    }
}

TEST_F(MainWindowTest, ImageListHoldsEveryStatusPicture) {
    for (const char* key : {"LedVerde", "LedRojo", "LedAmarillo", "ErrorAmarillo", "Connected", "Terminal",
                            "Subiendo", "Descargando"}) {
        const QImage picture = statusIcon(key).toImage();
        ASSERT_FALSE(picture.isNull()) << key;
        // Something is drawn, and not over the whole square.
        int painted = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) painted += qAlpha(picture.pixel(x, y)) > 0 ? 1 : 0;
        }
        EXPECT_GT(painted, picture.width() * picture.height() / 5) << key;
        EXPECT_LT(painted, picture.width() * picture.height()) << key;
    }
    EXPECT_NE(statusIcon("LedVerde").toImage(), statusIcon("LedRojo").toImage());
    EXPECT_TRUE(statusIcon("NoSuchPicture").isNull());
}

TEST_F(MainWindowTest, PanelsShowTextIconsAndTips) {
    MainWindow window;
    window.setPanelText("PTT", "TX");
    window.setPanelIcon("PTT", "LedRojo");
    window.setPanelTip("Listen", "LISTEN ON");
    window.setPanelText("NoSuchPanel", "ignored");
    EXPECT_EQ(window.panel("PTT")->text(), "TX");
    EXPECT_EQ(window.panel("PTT")->iconKey(), "LedRojo");
    EXPECT_EQ(window.panel("Listen")->toolTip(), "LISTEN ON");
    window.setPanelIcon("PTT", "");
    EXPECT_TRUE(window.panel("PTT")->iconKey().isEmpty());
}

TEST_F(MainWindowTest, MonitorKeepsItsLast4000Characters) {
    MainWindow window;
    const auto* monitor = window.findChild<QPlainTextEdit*>("txtMonitor");
    window.appendMonitor("first\r\n");
    window.appendMonitor("second");
    EXPECT_EQ(monitor->toPlainText(), "first\nsecond");
    window.appendMonitor(std::string(3990, 'x'));
    // 5 + 2 + 6 + 3990 = 4003: the oldest three characters went.
    EXPECT_EQ(monitor->toPlainText(), "st\nsecond" + QString(3990, 'x'));
    window.clearMonitor();
    EXPECT_TRUE(monitor->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, SpeedChartKeepsTheNewestTwentyPointsUntilReset) {
    MainWindow window;
    window.resetSpeedChart(ChartColour::Red);
    for (int rate = 1; rate <= 22; ++rate) window.addSpeedChartPoint(rate * 100);
    std::array<int, kSpeedChartPoints> expected{};
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<int>(i + 3) * 100;
    EXPECT_EQ(window.speedChartPoints(), expected);
    EXPECT_EQ(window.speedChartColour(), ChartColour::Red);
    window.resetSpeedChart(ChartColour::Green);
    window.addSpeedChartPoint(0);
    expected.fill(0);
    EXPECT_EQ(window.speedChartPoints(), expected);
    EXPECT_EQ(window.speedChartColour(), ChartColour::Green);
}

TEST_F(MainWindowTest, CpuBoxShowsTheShareGreenWhenLightRedWhenBusy) {
    MainWindow window;
    auto* box = window.findChild<QLabel*>("txtCPU");
    box->resize(120, 20);
    struct Case {
        float percent;
        const char* text;
        QColor background;
    };
    for (const Case& c : {Case{12.4F, "CPU Usage: 12 %", Qt::green}, Case{87.4F, "CPU Usage: 87 %", Qt::green},
                          Case{87.5F, "CPU Usage: 88 %", Qt::red}, Case{100.0F, "CPU Usage: 100 %", Qt::red}}) {
        window.showCpu(c.percent);
        EXPECT_EQ(box->text(), c.text);
        // A corner pixel is background, away from the centred text.
        EXPECT_EQ(box->grab().toImage().pixelColor(1, 1), c.background) << c.text;
    }
}

TEST_F(MainWindowTest, ConstellationDotLandsWhereTheCellMapsAndReplacesThePreviousPlot) {
    MainWindow window;
    auto* view = window.findChild<QWidget*>("pctConstelacion");
    view->resize(100, 100);
    // 16 points: x / 0.4714, so 0.4714 + 0.4714i lands at (1, 1): pixel (75, 25).
    const std::array<std::complex<float>, 2> cells{std::complex<float>{0.4714F, 0.4714F}, {0.0F, 0.0F}};
    window.plotCells(cells, 4, PlotColour::White);
    QImage image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(75, 25), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(50, 50), QColor(Qt::white)) << "a zero cell is skipped";
    // Two points: x - y, -(x + y), so 1 - 0.5i lands at (1.5, -0.5): pixel (88, 63).
    const std::array<std::complex<float>, 1> next{std::complex<float>{1.0F, -0.5F}};
    window.plotCells(next, 2, PlotColour::White);
    image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(88, 63), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(75, 25), QColor(Qt::white));
}

TEST_F(MainWindowTest, SoftValuesMakeAStripAroundABlueMiddleLine) {
    MainWindow window;
    auto* view = window.findChild<QWidget*>("pctConstelacion");
    view->resize(100, 100);
    // Four values: x steps by one unit (25 px), y is 1.5 v: 2/3 lands at y = 1, pixel row 25.
    const std::array<float, 4> values{2.0F / 3.0F, 0.0F, -2.0F / 3.0F, 0.0F};
    window.plotSoftValues(values, PlotColour::White);
    const QImage image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(25, 25), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(75, 75), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(10, 50), QColor(Qt::blue));
}

TEST(ConstellationView, CellsOutsideTheSquareOrOfUnknownModesAreLeftOut) {
    EXPECT_FALSE(cellPoint({1.0F, 0.0F}, 4).has_value());  // 2.12 > 2
    EXPECT_FALSE(cellPoint({0.1F, 0.1F}, 7).has_value());
    EXPECT_FALSE(cellPoint({0.0F, 0.0F}, 2).has_value());
    const auto p = cellPoint({0.4041F, -0.4041F}, 6);
    ASSERT_TRUE(p.has_value());
    EXPECT_NEAR(p->x(), 1.0, 1e-5);
    EXPECT_NEAR(p->y(), -1.0, 1e-5);
}

TEST_F(MainWindowTest, DisplaysAreNamedAndCarryTheirTips) {
    MainWindow window;
    for (const char* name : {"pctWaterfall", "pctConstelacion", "chartVelocidad", "pctVumetro", "pctCPU",
                             "pctRelacionSN", "pctOffsetFrecuencia", "txtMonitor", "txtData", "txtACK", "txtNACK",
                             "TxtREQ", "txtStart", "txtBreak", "txtQRT", "txtVU", "txtCPU", "txtAFC", "txtSN"}) {
        EXPECT_NE(window.findChild<QWidget*>(name), nullptr) << name;
    }
    for (const DisplayTip& tip : kDisplayTips) {
        const QWidget* display = window.findChild<QWidget*>(q(tip.controlName));
        ASSERT_NE(display, nullptr) << tip.controlName;
        EXPECT_EQ(display->toolTip(), q(tip.tip));
    }
}

TEST_F(MainWindowTest, ViewsPlaceTheWaterfallAndShrinkByItsHeight) {
    MainWindow window;
    const auto* waterfall = window.findChild<QWidget*>("pctWaterfall");
    const auto* chart = window.findChild<QWidget*>("chartVelocidad");
    const auto* constellation = window.findChild<QWidget*>("pctConstelacion");
    const auto* data = window.findChild<QWidget*>("txtData");
    const auto* ack = window.findChild<QWidget*>("txtACK");
    const auto* start = window.findChild<QWidget*>("txtStart");
    const auto* vu = window.findChild<QWidget*>("txtVU");
    const auto* gauge = window.findChild<QWidget*>("pctVumetro");

    struct ViewCase {
        std::uint8_t mode;
        std::int32_t waterfallTopTwips;
        bool waterfall;
        bool diagrams;
    };
    std::array<int, 4> heights{};
    for (const ViewCase& c : {ViewCase{1, 5040, true, true}, ViewCase{2, 1540, true, false}, ViewCase{3, 1540, false, false}}) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        window.applyView(c.mode);
        heights[c.mode] = window.height();
        EXPECT_EQ(waterfall->y(), pixels(c.waterfallTopTwips));
        EXPECT_EQ(waterfall->isVisibleTo(&window), c.waterfall);
        EXPECT_EQ(chart->isVisibleTo(&window), c.diagrams);
        EXPECT_EQ(constellation->isVisibleTo(&window), c.diagrams);
        EXPECT_EQ(data->y(), pixels(c.waterfallTopTwips - 1440));
        EXPECT_EQ(ack->y(), pixels(c.waterfallTopTwips - 1080));
        EXPECT_EQ(start->y(), ack->y());
        EXPECT_EQ(vu->y() + vu->height(), pixels(c.waterfallTopTwips - 50));
        EXPECT_EQ(gauge->y() + gauge->height(), vu->y());
        // Everything shown lies inside the window's display area.
        if (c.waterfall) {
            EXPECT_LE(waterfall->geometry().bottom(), window.centralWidget()->height());
        }
    }
    EXPECT_EQ(heights[2] - heights[3], waterfall->height());
    EXPECT_GT(heights[1], heights[2]);
}

// The window as the station's UI sink: start-up draws it, menu choices go through the station.
class WindowWithStation : public MainWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        writeSettings("[Setup]\nWaterFall=2\nView=2\n[Log]\nLog Caption=Journal\n");
    }
    void writeSettings(const char* text) {
        QFile file(m_folder.filePath("ZOLK SAT.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QString settingsText() {
        QFile file(m_folder.filePath("ZOLK SAT.ini"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }
    void check(MainWindow& window, std::initializer_list<std::pair<MenuItem, bool>> expected) {
        for (const auto& [item, checked] : expected)
            EXPECT_EQ(window.menuAction(item)->isChecked(), checked) << menuEntry(item).controlName;
    }

    QTemporaryDir m_folder;
};

TEST_F(WindowWithStation, MenusFollowTheStationAndChoicesAreSaved) {
    MainWindow window;
    QtTimerPort timers;
    QtHostLink hostLink;
    PortAudioDevice audio;
    Station station({timers, hostLink, audio, window}, m_folder.path().toStdString());
    window.attach(&station);
    ASSERT_TRUE(station.start());
    window.show();

    check(window, {{MenuItem::WaterfallOn, false}, {MenuItem::WaterfallOff, false}, {MenuItem::WaterfallAuto, true},
                   {MenuItem::ViewAll, false}, {MenuItem::ViewWaterfall, true}, {MenuItem::ViewGauges, false}});
    EXPECT_EQ(window.menuAction(MenuItem::Log)->text(), "Journal");
    EXPECT_FALSE(window.menuAction(MenuItem::Ptt)->isVisible());
    EXPECT_FALSE(window.findChild<QWidget*>("chartVelocidad")->isVisibleTo(&window));
    EXPECT_EQ(window.pos(), QPoint(pixels(2325), pixels(870)));

    window.menuAction(MenuItem::WaterfallOff)->trigger();
    check(window, {{MenuItem::WaterfallOn, false}, {MenuItem::WaterfallOff, true}, {MenuItem::WaterfallAuto, false}});
    EXPECT_TRUE(settingsText().contains("WaterFall=0"));
    // Choosing the checked item again keeps it checked.
    window.menuAction(MenuItem::WaterfallOff)->trigger();
    check(window, {{MenuItem::WaterfallOn, false}, {MenuItem::WaterfallOff, true}, {MenuItem::WaterfallAuto, false}});

    window.menuAction(MenuItem::ViewGauges)->trigger();
    check(window, {{MenuItem::ViewAll, false}, {MenuItem::ViewWaterfall, false}, {MenuItem::ViewGauges, true}});
    EXPECT_FALSE(window.findChild<QWidget*>("pctWaterfall")->isVisibleTo(&window));
    EXPECT_TRUE(settingsText().contains("View=3"));

    // Closing the window runs the shutdown, which saves where the window stands.
    window.move(pixels(3000), pixels(1500));
    window.close();
    EXPECT_FALSE(station.running());
    const QString saved = settingsText();
    EXPECT_TRUE(saved.contains("Top Position=1500")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("Left Position=3000")) << saved.toStdString();
}

}  // namespace
}  // namespace zolk::shell
