#include "shell/gauge_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zolk::shell {
namespace {

constexpr int kHubAboveBottom = 2;
constexpr int kRadiusInset = 5;
constexpr int kScaleMarks = 10;
constexpr int kNeedleWidthPx = 2;

QColor faceColour() { return QColor(236, 236, 226); }

double radius(QPointF hub) { return std::min(hub.x(), hub.y()) - kRadiusInset; }

// The direction of percent: 270 degrees at 0 %, 180 (up) at 50 %, 90 at 100 %, as (sin, cos).
QPointF along(QPointF hub, double percent, double distance) {
    const double a = (270.0 - 1.8 * percent) * std::numbers::pi / 180.0;
    return {hub.x() + distance * std::sin(a), hub.y() + distance * std::cos(a)};
}

}  // namespace

QPointF needleHub(int width, int height) {
    return {std::floor(width / 2.0), static_cast<double>(height - kHubAboveBottom)};
}

QPointF needleTip(double percent, int width, int height) {
    const QPointF hub = needleHub(width, height);
    const double r = radius(hub);
    return along(hub, std::clamp(percent, 0.0, 100.0), r - std::round(r / 10.0));
}

GaugeView::GaugeView(const QString& name, QWidget* parent) : QWidget(parent) { setObjectName(name); }

void GaugeView::showNeedle(double percent) {
    m_percent = std::clamp(percent, 0.0, 100.0);
    update();
}

void GaugeView::clear() {
    m_percent.reset();
    update();
}

void GaugeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(faceColour());
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    // Scale marks every 10 %, just outside the needle's reach.
    const QPointF hub = needleHub(width(), height());
    const double r = radius(hub);
    painter.setPen(QPen(Qt::darkGray, 1));
    for (int mark = 0; mark <= kScaleMarks; ++mark) {
        const double percent = 100.0 * mark / kScaleMarks;
        painter.drawLine(along(hub, percent, r - 3.0), along(hub, percent, r));
    }
    if (!m_percent) return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, kNeedleWidthPx));
    painter.drawLine(hub, needleTip(*m_percent, width(), height()));
}

}  // namespace zolk::shell
