#include "screenshot_run.h"

#include <QCoreApplication>
#include <stdexcept>

#include "app/station.h"
#include "sim/link_transfer.h"

namespace zolk::screenshots {
namespace {

constexpr double kFrameLimitS = 60.0;

}  // namespace

ScreenshotRun::ScreenshotRun(const std::filesystem::path& folder, const ScreenshotLink& link)
    : m_window(std::make_unique<shell::MainWindow>()) {
    m_window->show();
    m_pair = std::make_unique<sim::StationPair>(
        folder, sim::LinkSettings{.offsetHz = link.offsetHz, .snrDb = link.startSnrDb, .seed = link.seed}, "EA5ABC",
        "N0CALL", std::array<UiSink*, 2>{nullptr, m_window.get()});
    // From here the station knows its window is up, and draws the waterfall and level gauge.
    m_window->attach(&m_pair->station(sim::Side::B).station());
    m_pair->send(sim::Side::A, sim::randomBytes(link.bytes, link.seed));
    m_pair->callB();
    const sim::HostView& b = m_pair->host(sim::Side::B);
    if (!m_pair->runUntil([&b] { return b.connectedS.has_value(); }, link.connectLimitS)) {
        throw std::runtime_error("the link did not come up");
    }
}

Screenshot ScreenshotRun::phase(double snrDb, double seconds, Moment moment) {
    m_pair->setSnrDb(snrDb);
    m_pair->runFor(seconds);
    const sim::RecordingUi& shown = m_pair->station(sim::Side::B).ui();
    const std::size_t pointsBefore = shown.chartPoints().size();
    const auto decoded = [&shown, pointsBefore] {
        const auto& points = shown.chartPoints();
        return shown.chartColour() == ChartColour::Green && points.size() != pointsBefore && !points.empty() &&
               points.back() > 0 && shown.plottedPoints() > 0 && shown.levelDb().has_value();
    };
    if (!m_pair->runUntil(decoded, kFrameLimitS)) throw std::runtime_error("no frame decoded");
    const auto answering = [&shown] {
        for (std::size_t i = 0; i < kTransmitIndicatorCount; ++i) {
            if (shown.indicator(static_cast<TransmitIndicator>(i)) != IndicatorColour::White) return true;
        }
        return false;
    };
    if (moment == Moment::Answering && !m_pair->runUntil(answering, kFrameLimitS)) {
        throw std::runtime_error("no answer sent");
    }
    // Layout changes the station's texts asked for are posted events; timers (the CPU gauge's
    // real-time tick among them) stay unrun, so the picture depends on virtual time only.
    QCoreApplication::sendPostedEvents();
    return Screenshot{.picture = m_window->grab().toImage(),
                      .timeS = m_pair->nowS(),
                      .speedText = m_window->panel("Baud")->text().toStdString()};
}

}  // namespace zolk::screenshots
