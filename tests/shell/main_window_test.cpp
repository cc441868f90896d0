#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include <QAction>
#include <QLabel>
#include <QFile>
#include <QFontMetricsF>
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
#include "shell/fitted_label.h"
#include "shell/gauge_view.h"
#include "shell/waterfall_view.h"
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
    EXPECT_EQ(window.speedChart().points(), expected);
    EXPECT_EQ(window.speedChart().colour(), ChartColour::Red);
    window.resetSpeedChart(ChartColour::Green);
    window.addSpeedChartPoint(0);
    expected.fill(0);
    EXPECT_EQ(window.speedChart().points(), expected);
    EXPECT_EQ(window.speedChart().colour(), ChartColour::Green);
}

TEST_F(MainWindowTest, SpeedChartDrawsBarsInTheSeriesColourAndALostFrameAsAFlatMark) {
    MainWindow window;
    auto& chart = *window.findChild<SpeedChartView*>("chartVelocidad");
    struct Case {
        ChartColour series;
        QColor colour;
    };
    for (const Case& c : {Case{ChartColour::Red, Qt::red}, Case{ChartColour::Green, Qt::green}}) {
        window.resetSpeedChart(c.series);
        window.addSpeedChartPoint(1200);
        window.addSpeedChartPoint(600);
        window.addSpeedChartPoint(0);
        const QImage image = chart.grab().toImage();
        const auto at = [&](std::size_t point, double fromBottom) {
            const QRect slot = chart.slot(point);
            return image.pixelColor(slot.center().x(), slot.bottom() - static_cast<int>(fromBottom * slot.height()));
        };
        // The fastest point fills its slot, one at half the rate half of it.
        EXPECT_EQ(at(17, 0.95), c.colour);
        EXPECT_EQ(at(18, 0.4), c.colour);
        EXPECT_EQ(at(18, 0.6), QColor(Qt::white));
        // The lost frame, the newest point: its mark on the base line, nothing above.
        EXPECT_EQ(at(19, 0.0), c.colour);
        EXPECT_EQ(at(19, 0.2), QColor(Qt::white));
    }
}

TEST_F(MainWindowTest, IndicatorBoxesTakeTheirColours) {
    MainWindow window;
    struct Case {
        TransmitIndicator which;
        const char* name;
        IndicatorColour colour;
        QColor expected;
    };
    for (const Case& c : {Case{TransmitIndicator::Nack, "txtNACK", IndicatorColour::Red, Qt::red},
                          Case{TransmitIndicator::Ack, "txtACK", IndicatorColour::Green, Qt::green},
                          Case{TransmitIndicator::Nack, "txtNACK", IndicatorColour::White, Qt::white}}) {
        window.setIndicator(c.which, c.colour);
        auto* box = window.findChild<QLabel*>(c.name);
        // A pixel inside the frame, away from the centred caption.
        EXPECT_EQ(box->grab().toImage().pixelColor(3, 3), c.expected) << c.name;
    }
}

TEST_F(MainWindowTest, GaugesPointTheirNeedlesAndColourTheirBoxes) {
    MainWindow window;
    struct Case {
        const char* gauge;
        const char* box;
        std::function<void()> show;
        double percent;
        const char* text;
        QColor colour;
    };
    const Case cases[] = {
        {"pctOffsetFrecuencia", "txtAFC", [&] { window.showAfc(20.0F); }, 20.0 * 100.0 / 351.5625 + 50.0,
         "AFC: +20.0 Hz", Qt::green},
        {"pctOffsetFrecuencia", "txtAFC", [&] { window.showAfc(-150.0F); }, -150.0 * 100.0 / 351.5625 + 50.0,
         "AFC: -150.0 Hz", Qt::yellow},
        {"pctRelacionSN", "txtSN", [&] { window.showSnr(-15.0F); }, 3.0 * 100.0 / 38.0, "S/N (2500 Hz): -15.0 dB",
         Qt::red},
        {"pctRelacionSN", "txtSN", [&] { window.showSnr(12.0F); }, 30.0 * 100.0 / 38.0, "S/N (2500 Hz): +12.0 dB",
         Qt::green},
        {"pctVumetro", "txtVU", [&] { window.showLevel(-20.0F); }, 50.0, "Audio Input: -20 dB", Qt::green},
        {"pctCPU", "txtCPU", [&] { window.showCpu(95.0F); }, 95.0, "CPU Usage: 95 %", Qt::red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        c.show();
        auto* gauge = window.findChild<GaugeView*>(c.gauge);
        auto* box = window.findChild<QLabel*>(c.box);
        ASSERT_NE(gauge, nullptr);
        EXPECT_EQ(box->text(), c.text);
        EXPECT_EQ(box->grab().toImage().pixelColor(1, 1), c.colour);
        // The needle runs from the hub to the tip: its middle is black, and so is the point the
        // same distance on the other side of the upright, unless the needle stands upright.
        const QImage image = gauge->grab().toImage();
        const QPointF hub = needleHub(gauge->width(), gauge->height());
        const QPointF middle = (hub + needleTip(c.percent, gauge->width(), gauge->height())) / 2.0;
        EXPECT_EQ(image.pixelColor(middle.toPoint()), QColor(Qt::black));
        const QPoint mirrored(static_cast<int>(std::lround(2 * hub.x() - middle.x())), middle.toPoint().y());
        if (c.percent != 50.0) {
            EXPECT_NE(image.pixelColor(mirrored), QColor(Qt::black));
        }
    }
    // +20 Hz leans right of the upright.
    window.showAfc(20.0F);
    const auto* afc = window.findChild<GaugeView*>("pctOffsetFrecuencia");
    EXPECT_GT(needleTip(*afc->needle(), afc->width(), afc->height()).x(), needleHub(afc->width(), afc->height()).x());

    // Cleared: no needle, an empty box in the neutral colour.
    window.clearGauge(Gauge::Snr);
    auto* snr = window.findChild<GaugeView*>("pctRelacionSN");
    auto* snrBox = window.findChild<QLabel*>("txtSN");
    EXPECT_FALSE(snr->needle().has_value());
    EXPECT_TRUE(snrBox->text().isEmpty());
    EXPECT_EQ(snrBox->grab().toImage().pixelColor(1, 1), snrBox->palette().color(QPalette::Button));
    const QPointF middle = (needleHub(snr->width(), snr->height()) + needleTip(78.9, snr->width(), snr->height())) / 2.0;
    EXPECT_NE(snr->grab().toImage().pixelColor(middle.toPoint()), QColor(Qt::black));
}

// The columns of a picture in which some pixel is dark (text on a light box): first and last.
std::pair<int, int> inkedColumns(const QImage& image) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).lightness() < 100) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

// The gauge boxes have fixed widths; the longest readings shrink to fit instead of losing their
// first and last letters.
TEST_F(MainWindowTest, LongReadingsFitTheirBoxesWhole) {
    MainWindow window;
    window.resize(window.sizeHint());
    window.showSnr(-15.5F);
    window.showAfc(-150.0F);
    window.showLevel(-60.0F);
    for (const char* name : {"txtSN", "txtAFC", "txtVU"}) {
        SCOPED_TRACE(name);
        auto* box = window.findChild<QLabel*>(name);
        ASSERT_NE(box, nullptr);
        const auto [first, last] = inkedColumns(box->grab().toImage());
        EXPECT_GT(first, 0) << box->text().toStdString();
        EXPECT_LT(last, box->width() - 1) << box->text().toStdString();
    }
}

TEST(FittedFont, ShrinksOnlyWhatDoesNotFit) {
    test::ensureApplication();
    QFont font;
    font.setPointSizeF(10.0);
    struct Case {
        const char* text;
        int width;
    };
    for (const Case& c : {Case{"S/N (2500 Hz): -15.5 dB", 84}, Case{"AFC: -150.0 Hz", 60}, Case{"OK", 200},
                          Case{"", 10}, Case{"Audio Input: -60 dB", 1}}) {
        SCOPED_TRACE(c.text);
        const QFont fitted = fittedFont(font, c.text, c.width);
        const double natural = QFontMetricsF(font).horizontalAdvance(c.text);
        if (natural <= c.width) {
            EXPECT_EQ(fitted.pointSizeF(), font.pointSizeF());
        } else {
            EXPECT_LT(fitted.pointSizeF(), font.pointSizeF());
            EXPECT_GE(fitted.pointSizeF(), kSmallestFittedPointSize);
            if (fitted.pointSizeF() > kSmallestFittedPointSize) {
                EXPECT_LE(QFontMetricsF(fitted).horizontalAdvance(c.text), c.width);
            }
        }
    }
}

TEST_F(MainWindowTest, WaterfallRowsEnterAtTheTopAndMoveDown) {
    MainWindow window;
    auto* view = window.findChild<WaterfallView*>("pctWaterfall");
    ASSERT_NE(view, nullptr);
    view->resize(512, 40);  // two columns a pixel
    // A hidden window takes its pending resize (which clears the waterfall) at the first grab.
    window.grab();
    std::vector<std::uint32_t> row(kWaterfallColumns, 0);
    row[512] = row[513] = 0x00FF00;
    row[120] = row[121] = 0xFF0000;
    window.addWaterfallRow(row);
    QImage image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(256, 0), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(60, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(300, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(256, 1), QColor(Qt::black));
    window.addWaterfallRow(std::vector<std::uint32_t>(kWaterfallColumns, 0));
    image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(256, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(256, 1), QColor(Qt::green));
    window.clearWaterfall();
    EXPECT_EQ(view->grab().toImage().pixelColor(256, 1), QColor(Qt::black));
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

TEST_F(MainWindowTest, ConstellationDrawsTheModesBoundariesInBlueUnderTheDotsUntilCleared) {
    MainWindow window;
    auto* view = window.findChild<QWidget*>("pctConstelacion");
    view->resize(120, 120);
    struct Case {
        int bitsPerCell;
        std::vector<QPoint> blue;   // on a boundary
        std::vector<QPoint> clear;  // between boundaries
    };
    // 30 px a unit: x = 0 is column 60, y = 0 row 60.
    const Case cases[] = {
        {2, {{60, 10}, {10, 60}}, {{30, 30}, {90, 90}}},
        {3, {{60, 10}, {10, 60}, {30, 30}, {90, 30}}, {{75, 20}}},
        {4, {{30, 10}, {60, 10}, {90, 10}, {10, 90}}, {{45, 45}, {105, 105}}},
        {5, {{40, 5}, {80, 5}, {5, 40}, {100, 60}}, {{100, 10}, {10, 100}, {50, 50}}},  // none in the corners
        {6, {{15, 5}, {45, 5}, {105, 5}, {5, 75}}, {{22, 22}, {52, 97}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitsPerCell);
        window.plotCells({}, c.bitsPerCell, PlotColour::White);
        const QImage image = view->grab().toImage();
        for (const QPoint& p : c.blue) EXPECT_EQ(image.pixelColor(p), QColor(Qt::blue)) << p.x() << "," << p.y();
        for (const QPoint& p : c.clear) EXPECT_NE(image.pixelColor(p), QColor(Qt::blue)) << p.x() << "," << p.y();
    }
    const std::array<std::complex<float>, 1> cell{std::complex<float>{1.0F, -0.5F}};
    window.plotCells(cell, 2, PlotColour::White);  // lands at (1.5, -0.5): pixel (105, 75)
    QImage image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(105, 75), QColor(Qt::white));
    window.clearConstellation();
    image = view->grab().toImage();
    EXPECT_NE(image.pixelColor(105, 75), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(60, 10), QColor(Qt::blue));
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
