#include "shell/speed_chart_view.h"

#include <QPainter>

#include <algorithm>

namespace zolk::shell {
namespace {

constexpr int kMarginPx = 6;
constexpr int kGapPx = 2;
constexpr int kBaseMarkPx = 2;
// The scale starts at the rate of the slowest modes and grows to the fastest point shown.
constexpr int kLeastScaleBps = 100;

}  // namespace

SpeedChartView::SpeedChartView(QWidget* parent) : QWidget(parent) { setObjectName("chartVelocidad"); }

void SpeedChartView::reset(ChartColour colour) {
    m_points.fill(0);
    m_colour = colour;
    update();
}

void SpeedChartView::add(int bitRate) {
    std::shift_left(m_points.begin(), m_points.end(), 1);
    m_points.back() = std::max(0, bitRate);
    update();
}

QRect SpeedChartView::slot(std::size_t i) const {
    const int inner = width() - 2 * kMarginPx;
    const int count = static_cast<int>(kSpeedChartPoints);
    const int left = kMarginPx + inner * static_cast<int>(i) / count;
    const int right = kMarginPx + inner * (static_cast<int>(i) + 1) / count - kGapPx;
    return QRect(QPoint(left, kMarginPx), QPoint(right, height() - kMarginPx - 1));
}

void SpeedChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect area = rect().adjusted(kMarginPx, kMarginPx, -kMarginPx, -kMarginPx);
    // Quarter lines of the scale.
    painter.setPen(QPen(QColor(220, 220, 220), 1));
    for (int quarter = 1; quarter <= 4; ++quarter) {
        const int y = area.bottom() - area.height() * quarter / 4;
        painter.drawLine(area.left(), y, area.right(), y);
    }
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.drawLine(area.bottomLeft(), area.bottomRight());

    const int scale = std::max(kLeastScaleBps, *std::max_element(m_points.begin(), m_points.end()));
    const QColor colour = m_colour == ChartColour::Red ? QColor(Qt::red) : QColor(Qt::green);
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        const QRect full = slot(i);
        const int barHeight = std::max(kBaseMarkPx, full.height() * m_points[i] / scale);
        painter.fillRect(QRect(full.left(), full.bottom() - barHeight + 1, full.width(), barHeight), colour);
    }
}

}  // namespace zolk::shell
