#include "shell/main_window.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QUrl>

#include "app/station.h"
#include "app/station_session.h"
#include "app/window_layout.h"
#include "version.h"
#include "shell/console_ui_sink.h"
#include "shell/fitted_label.h"
#include "shell/meter_text.h"
#include "shell/ptt_dialog.h"
#include "shell/setup_dialog.h"
#include "shell/sound_card_dialog.h"
#include "shell/twips.h"

namespace zolk::shell {
namespace {

// Figures the layout table leaves open, in twips.
constexpr std::int32_t kWaterfallHeightTwips = 1410;
constexpr std::int32_t kMeterBoxHeightTwips = 285;
constexpr std::int32_t kGaugeHeightTwips = 1200;
constexpr std::int32_t kIndicatorHeightTwips = 300;
// The title bar and borders that the table's window heights include.
constexpr std::int32_t kWindowFrameTwips = 465;
constexpr int kMinimumWidthPx = 720;
constexpr int kMarginPx = 8;
constexpr int kGaugeStepPx = 92;
constexpr int kIndicatorColumnPx = 380;
constexpr int kIndicatorWidthPx = 64;
constexpr int kIndicatorStepPx = 70;

constexpr const char* kGuideFile = "ZOLK Quick Guide.pdf";
constexpr qsizetype kMonitorCharacters = 4000;
constexpr std::chrono::milliseconds kCpuTickMs{100};

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QColor displayBackground() { return QColor(16, 16, 24); }

// The gauges in the order the window places them, with their text boxes.
constexpr std::size_t kLevelGauge = 0;
constexpr std::size_t kCpuGauge = 1;
constexpr std::size_t kAfcGauge = 2;
constexpr std::size_t kSnrGauge = 3;

constexpr std::size_t gaugeIndex(Gauge gauge) {
    return gauge == Gauge::Level ? kLevelGauge : gauge == Gauge::Snr ? kSnrGauge : kAfcGauge;
}

QColor boxColour(GaugeColour colour, const QWidget& box) {
    switch (colour) {
    case GaugeColour::Green:
        return Qt::green;
    case GaugeColour::Yellow:
        return Qt::yellow;
    case GaugeColour::Red:
        return Qt::red;
    case GaugeColour::Neutral:
        break;
    }
    // The desktop's button face.
    return box.palette().color(QPalette::Button);
}

// A text box's background, written only when it changes; the box fills it (set when the box is
// made).
void setBackground(QLabel* box, const QColor& colour) {
    if (box->palette().color(QPalette::Window) == colour) return;
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, colour);
    box->setPalette(palette);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainWindow");
    buildMenus();
    buildStatusBar();
    buildDisplays();
    setWindowTitle(text(kWindowCaption));
    m_cpuTimer.setObjectName("CpuGauge");
    connect(&m_cpuTimer, &QTimer::timeout, this, &MainWindow::handleCpuTick);
    m_cpuTimer.start(kCpuTickMs);
}

void MainWindow::buildMenus() {
    QMenu* settings = menuBar()->addMenu("&Settings");
    addMenuItem(settings, MenuItem::Setup, false);
    addMenuItem(settings, MenuItem::SoundCard, false);
    addMenuItem(settings, MenuItem::Ptt, false);
    settings->addSeparator();
    QMenu* waterfall = settings->addMenu("Waterfall");
    for (MenuItem item : {MenuItem::WaterfallOn, MenuItem::WaterfallOff, MenuItem::WaterfallAuto})
        addMenuItem(waterfall, item, true);
    QMenu* view = settings->addMenu("View");
    for (MenuItem item : {MenuItem::ViewAll, MenuItem::ViewWaterfall, MenuItem::ViewGauges})
        addMenuItem(view, item, true);
    QMenu* monitor = settings->addMenu(text(menuEntry(MenuItem::Monitor).caption));
    monitor->menuAction()->setObjectName(text(menuEntry(MenuItem::Monitor).controlName));
    m_actions[static_cast<std::size_t>(MenuItem::Monitor)] = monitor->menuAction();
    addMenuItem(monitor, MenuItem::MonitorOn, true);
    addMenuItem(monitor, MenuItem::MonitorOff, true);
    addMenuItem(monitor, MenuItem::MonitorClear, false);
    settings->addSeparator();
    addMenuItem(settings, MenuItem::Calibrate, false);

    QMenu* help = menuBar()->addMenu("&Help");
    addMenuItem(help, MenuItem::Guide, false);
    addMenuItem(help, MenuItem::Log, false);
    help->addSeparator();
    addMenuItem(help, MenuItem::About, false);

    // The station holds the rules of these items (settings, check marks, views, session reset).
    for (MenuItem item : {MenuItem::WaterfallOn, MenuItem::WaterfallOff, MenuItem::WaterfallAuto,
                          MenuItem::ViewAll, MenuItem::ViewWaterfall, MenuItem::ViewGauges,
                          MenuItem::MonitorOn, MenuItem::MonitorOff, MenuItem::MonitorClear}) {
        connect(menuAction(item), &QAction::triggered, this, [this, item] { handleStationMenu(item); });
    }
    for (MenuItem item : {MenuItem::Setup, MenuItem::SoundCard, MenuItem::Ptt, MenuItem::Calibrate})
        connect(menuAction(item), &QAction::triggered, this, [this, item] { handleDialog(item); });
    connect(menuAction(MenuItem::Guide), &QAction::triggered, this, &MainWindow::handleGuide);
    connect(menuAction(MenuItem::Log), &QAction::triggered, this, &MainWindow::handleLog);
    connect(menuAction(MenuItem::About), &QAction::triggered, this, &MainWindow::handleAbout);
}

QAction* MainWindow::addMenuItem(QMenu* menu, MenuItem item, bool checkable) {
    const MenuEntry& entry = menuEntry(item);
    QAction* action = menu->addAction(text(entry.caption));
    action->setObjectName(text(entry.controlName));
    action->setCheckable(checkable);
    m_actions[static_cast<std::size_t>(item)] = action;
    return action;
}

void MainWindow::buildDisplays() {
    m_displays = new QWidget(this);
    m_displays->setObjectName("displays");
    setCentralWidget(m_displays);

    m_chart = new SpeedChartView(m_displays);
    m_constellation = new ConstellationView(displayBackground(), m_displays);
    m_waterfall = new WaterfallView(m_displays);
    const std::array<const char*, 4> gauges{"pctVumetro", "pctCPU", "pctOffsetFrecuencia", "pctRelacionSN"};
    const std::array<const char*, 4> meterBoxes{"txtVU", "txtCPU", "txtAFC", "txtSN"};
    for (std::size_t i = 0; i < gauges.size(); ++i) {
        m_gauges[i] = new GaugeView(gauges[i], m_displays);
        m_meterBoxes[i] = new FittedLabel(m_displays);
        m_meterBoxes[i]->setObjectName(meterBoxes[i]);
        m_meterBoxes[i]->setAlignment(Qt::AlignCenter);
        m_meterBoxes[i]->setAutoFillBackground(true);
        setBackground(m_meterBoxes[i], boxColour(GaugeColour::Neutral, *m_meterBoxes[i]));
    }
    const std::array<std::pair<const char*, const char*>, 7> indicators{{
        {"txtData", "DATA"}, {"txtACK", "ACK"}, {"txtNACK", "NACK"}, {"TxtREQ", "REQ"},
        {"txtStart", "START"}, {"txtBreak", "BREAK"}, {"txtQRT", "QRT"},
    }};
    for (std::size_t i = 0; i < indicators.size(); ++i)
        m_indicators[i] = addIndicator(indicators[i].first, indicators[i].second);
    m_monitor = new QPlainTextEdit(m_displays);
    m_monitor->setObjectName("txtMonitor");
    m_monitor->setReadOnly(true);

    for (const DisplayTip& tip : kDisplayTips) {
        if (QWidget* display = m_displays->findChild<QWidget*>(text(tip.controlName)))
            display->setToolTip(text(tip.tip));
    }
    applyView(1);
}

QLabel* MainWindow::addIndicator(const char* name, const char* caption) {
    auto* box = new QLabel(caption, m_displays);
    box->setObjectName(name);
    box->setAlignment(Qt::AlignCenter);
    box->setFrameStyle(QFrame::Box | QFrame::Plain);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(palette);
    return box;
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("stbStatus");
    bar->setSizeGripEnabled(false);
    for (const zolk::StatusPanel& figures : kStatusPanels) {
        auto* panel = new StatusPanelWidget(figures, bar);
        bar->addWidget(panel, figures.autoSize ? 1 : 0);
        m_panels.emplace(std::string(figures.key), panel);
    }
}

StatusPanelWidget* MainWindow::findPanel(std::string_view key) const {
    const auto found = m_panels.find(key);
    return found == m_panels.end() ? nullptr : found->second;
}

const StatusPanelWidget* MainWindow::panel(std::string_view key) const { return findPanel(key); }

void MainWindow::setPanelText(std::string_view key, std::string_view value) {
    if (StatusPanelWidget* p = findPanel(key)) p->setText(value);
}

void MainWindow::setPanelIcon(std::string_view key, std::string_view icon) {
    if (StatusPanelWidget* p = findPanel(key)) p->setIcon(icon);
}

void MainWindow::setPanelTip(std::string_view key, std::string_view tip) {
    if (StatusPanelWidget* p = findPanel(key)) p->setToolTip(text(tip));
}

void MainWindow::setCaption(std::string_view caption) { setWindowTitle(text(caption)); }

void MainWindow::messageBox(std::string_view title, std::string_view message) {
    // Shown without a nested event loop: the station's call returns at once, and the events that
    // arrive while the box is up are still handled one at a time.
    if (m_messagesWait) {
        QMessageBox::warning(isVisible() ? this : nullptr, text(title), text(message));
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, text(title), text(message), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::appendMonitor(std::string_view value) {
    // The box keeps the last 4000 characters (a line break counts as two, CR LF, as it always has).
    QString shown = m_monitor->toPlainText().replace('\n', "\r\n") + text(value);
    if (shown.size() > kMonitorCharacters) shown = shown.right(kMonitorCharacters);
    m_monitor->setPlainText(shown.remove(QLatin1Char('\r')));
    m_monitor->moveCursor(QTextCursor::End);
    m_monitor->ensureCursorVisible();
}

void MainWindow::clearMonitor() { m_monitor->clear(); }

void MainWindow::logLine(std::string_view line) { printTimedLine(stderr, line); }

void MainWindow::setMenuChecked(MenuItem item, bool checked) { menuAction(item)->setChecked(checked); }

void MainWindow::setMenuEnabled(MenuItem item, bool enabled) { menuAction(item)->setEnabled(enabled); }

void MainWindow::setMenuVisible(MenuItem item, bool visible) { menuAction(item)->setVisible(visible); }

void MainWindow::setMenuCaption(MenuItem item, std::string_view caption) { menuAction(item)->setText(text(caption)); }

void MainWindow::applyView(std::uint8_t viewMode) {
    const ViewLayout layout = viewLayout(viewMode, kWaterfallHeightTwips);
    const IndicatorTops tops =
        indicatorTops(layout.waterfallTopTwips, kMeterBoxHeightTwips, kGaugeHeightTwips);
    const int waterfallTop = pixels(layout.waterfallTopTwips);
    const int waterfallHeight = pixels(kWaterfallHeightTwips);
    const int gaugeTop = pixels(tops.gauge);
    // As wide as the status bar's fixed panels need on this desktop.
    const int width = std::max(kMinimumWidthPx, statusBar()->sizeHint().width());
    const int inner = width - 2 * kMarginPx;

    // Chart and constellation share the band above the gauges; the constellation is square.
    const int band = gaugeTop - 2 * kMarginPx;
    m_constellation->setGeometry(width - kMarginPx - band, kMarginPx, band, band);
    m_chart->setGeometry(kMarginPx, kMarginPx, inner - band - kMarginPx, band);
    m_chart->setVisible(layout.chartAndConstellationVisible);
    m_constellation->setVisible(layout.chartAndConstellationVisible);

    const int gaugeSize = pixels(kGaugeHeightTwips);
    for (std::size_t i = 0; i < m_gauges.size(); ++i) {
        const int left = kMarginPx + static_cast<int>(i) * kGaugeStepPx;
        m_gauges[i]->setGeometry(left + (kGaugeStepPx - kMarginPx - gaugeSize) / 2, gaugeTop,
                                 gaugeSize, gaugeSize);
        m_meterBoxes[i]->setGeometry(left, pixels(tops.meter), kGaugeStepPx - kMarginPx,
                                     pixels(kMeterBoxHeightTwips));
    }
    const int indicatorHeight = pixels(kIndicatorHeightTwips);
    const std::array<std::int32_t, 4> firstColumn{tops.data, tops.ack, tops.nack, tops.req};
    for (std::size_t i = 0; i < firstColumn.size(); ++i)
        m_indicators[i]->setGeometry(kIndicatorColumnPx, pixels(firstColumn[i]), kIndicatorWidthPx,
                                     indicatorHeight);
    for (std::size_t i = 0; i < 3; ++i) {
        m_indicators[4 + i]->setGeometry(kIndicatorColumnPx + kIndicatorStepPx,
                                         pixels(firstColumn[1 + i]), kIndicatorWidthPx,
                                         indicatorHeight);
    }
    const int monitorLeft = kIndicatorColumnPx + 2 * kIndicatorStepPx + kMarginPx;
    m_monitor->setGeometry(monitorLeft, gaugeTop, width - kMarginPx - monitorLeft,
                           waterfallTop - gaugeTop - 4);

    m_waterfall->setGeometry(kMarginPx, waterfallTop, inner, waterfallHeight);
    m_waterfall->setVisible(layout.waterfallVisible);

    // The window takes the table's height. Where this desktop's bars are taller than the table
    // allows for, every view grows by the same amount, so the views still differ as the table says.
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    const ViewLayout tightest = viewLayout(2, kWaterfallHeightTwips);
    const int needed = pixels(tightest.waterfallTopTwips) + waterfallHeight + kMarginPx / 2;
    const int shortfall =
        std::max(0, needed - (pixels(tightest.windowHeightTwips - kWindowFrameTwips) - bars));
    const int displays = pixels(layout.windowHeightTwips - kWindowFrameTwips) - bars + shortfall;
    m_displays->setFixedSize(width, displays);
    setFixedSize(width, displays + bars);
}

void MainWindow::clearWaterfall() { m_waterfall->clear(); }

void MainWindow::moveWindow(std::int32_t topTwips, std::int32_t leftTwips) {
    move(pixels(leftTwips), pixels(topTwips));
}

void MainWindow::showGauge(std::size_t index, float percent, GaugeColour colour, const std::string& value) {
    m_gauges[index]->showNeedle(percent);
    m_meterBoxes[index]->setText(text(value));
    setBackground(m_meterBoxes[index], boxColour(colour, *m_meterBoxes[index]));
}

void MainWindow::showSnr(float snrDb) {
    const GaugeReading reading = snrReading(snrDb);
    showGauge(kSnrGauge, reading.percent, reading.colour, snrText(snrDb));
}

void MainWindow::showAfc(float offsetHz) {
    const GaugeReading reading = afcReading(offsetHz);
    showGauge(kAfcGauge, reading.percent, reading.colour, afcText(offsetHz));
}

void MainWindow::showLevel(float levelDb) {
    const GaugeReading reading = levelReading(levelDb);
    showGauge(kLevelGauge, reading.percent, reading.colour, levelText(levelDb));
}

void MainWindow::showCpu(float percent) {
    const GaugeReading reading = cpuReading(percent);
    showGauge(kCpuGauge, reading.percent, reading.colour, cpuText(percent));
}

void MainWindow::clearGauge(Gauge gauge) {
    const std::size_t index = gaugeIndex(gauge);
    m_gauges[index]->clear();
    m_meterBoxes[index]->clear();
    setBackground(m_meterBoxes[index], boxColour(GaugeColour::Neutral, *m_meterBoxes[index]));
}

void MainWindow::handleCpuTick() {
    if (m_cpuSmoother.tick(m_cpuMeter.read())) showCpu(m_cpuSmoother.shown());
}

QColor MainWindow::plotColour(PlotColour colour) const {
    return colour == PlotColour::White ? QColor(Qt::white) : m_meterBoxes[kSnrGauge]->palette().color(QPalette::Window);
}

void MainWindow::plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, PlotColour colour) {
    m_constellation->plotCells(cells, bitsPerCell, plotColour(colour));
}

void MainWindow::plotSoftValues(std::span<const float> softValues, PlotColour colour) {
    m_constellation->plotSoftValues(softValues, plotColour(colour));
}

void MainWindow::clearConstellation() { m_constellation->clear(); }

void MainWindow::addWaterfallRow(std::span<const std::uint32_t> rgb) { m_waterfall->addRow(rgb); }

void MainWindow::setIndicator(TransmitIndicator which, IndicatorColour colour) {
    QLabel* box = m_indicators[static_cast<std::size_t>(which)];
    if (box == nullptr) return;
    setBackground(box, colour == IndicatorColour::Green ? QColor(Qt::green)
                       : colour == IndicatorColour::Red ? QColor(Qt::red)
                                                        : QColor(Qt::white));
}

void MainWindow::resetSpeedChart(ChartColour colour) { m_chart->reset(colour); }

void MainWindow::addSpeedChartPoint(int bitRate) { m_chart->add(bitRate); }

void MainWindow::showCalibration(const CalibrationView& view) {
    m_calibration = view;
    for (const std::string& line : calibrationReport(view)) printTimedLine(stderr, line);
    if (m_calibrationDialog != nullptr) m_calibrationDialog->showCalibration(view);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_station != nullptr && m_station->running()) {
        // A minimised window keeps the position saved before.
        std::optional<WindowPosition> position;
        if (!isMinimized()) position = WindowPosition{twips(pos().y()), twips(pos().x())};
        m_station->shutdown(position);
    }
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    clearWaterfall();
}

void MainWindow::attach(Station* station) {
    m_station = station;
    tellStationShown();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    tellStationShown();
}

void MainWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    tellStationShown();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) tellStationShown();
}

void MainWindow::tellStationShown() {
    if (m_station != nullptr) m_station->setWindowShown(isVisible() && !isMinimized());
}

void MainWindow::handleStationMenu(MenuItem item) {
    if (m_station != nullptr) m_station->onMenu(item);
}

void MainWindow::handleDialog(MenuItem item) {
    if (m_station == nullptr || !m_station->running()) return;
    if (item == MenuItem::SoundCard && m_soundCardDialog != nullptr) {
        m_soundCardDialog->raise();
        m_soundCardDialog->activateWindow();
        return;
    }
    QDialog* dialog = nullptr;
    if (item == MenuItem::SoundCard) {
        dialog = m_soundCardDialog = new SoundCardDialog(*m_station, this);
    } else if (item == MenuItem::Setup) {
        dialog = new SetupDialog(*m_station, this);
    } else if (item == MenuItem::Calibrate) {
        dialog = m_calibrationDialog = new CalibrationDialog(*m_station, this);
        // Reopened while a ping waits for its reply, it says so.
        if (m_station->session().arq().state() == SessionState::Pinging) m_calibrationDialog->showCalibration(m_calibration);
    } else {
        QStringList ports;
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) ports << port.systemLocation();
        dialog = new PttDialog(*m_station, ports, this);
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Modal ones without a nested event loop: the modem's events go on while a dialog is up.
    if (dialog->isModal()) dialog->open(); else dialog->show();
}

void MainWindow::handleGuide() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QString& path : {programFolder.filePath(kGuideFile), programFolder.filePath(QString("../share/zolksat/") + kGuideFile)}) {
        if (QFile::exists(path)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
            return;
        }
    }
    messageBox("ZOLK SAT", std::string(kGuideFile) + " file not found");
}

void MainWindow::handleLog() {
    if (m_station == nullptr) return;
    if (const auto file = m_station->openLog()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file->string())));
    }
}

void MainWindow::handleAbout() {
    auto* box = new QMessageBox(QMessageBox::Information, "About ZOLK SAT",
                                QString("ZOLK SAT v%1\n\nA sound-card data modem for amateur-radio satellite links.")
                                    .arg(QCoreApplication::applicationVersion()),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace zolk::shell
