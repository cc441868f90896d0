#include "shell/constellation_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zolk::shell {
namespace {
constexpr float kEdge = 2.0F;
constexpr std::size_t kMostDots = 800;
constexpr std::size_t kMostSoftValues = 600;
constexpr float kSoftValueScale = 1.5F;
constexpr int kDotWidthPx = 3;
}  // namespace

std::optional<QPointF> cellPoint(std::complex<float> cell, int bitsPerCell) {
    const float x = cell.real();
    const float y = cell.imag();
    float px = 0.0F;
    float py = 0.0F;
    switch (bitsPerCell) {
    case 1:
    case 2:
        px = x - y;
        py = -(x + y);
        break;
    case 3:
        px = (0.924F * x - 0.383F * y) * std::numbers::sqrt2_v<float>;
        py = (0.383F * x + 0.924F * y) * std::numbers::sqrt2_v<float>;
        break;
    case 4:
        px = x / 0.4714F;
        py = y / 0.4714F;
        break;
    case 5:
        px = x / 0.514496F;
        py = y / 0.514496F;
        break;
    case 6:
        px = x / 0.4041F;
        py = y / 0.4041F;
        break;
    default:
        return std::nullopt;
    }
    if ((px == 0.0F && py == 0.0F) || std::abs(px) > kEdge || std::abs(py) > kEdge) return std::nullopt;
    return QPointF(px, py);
}

ConstellationView::ConstellationView(QColor background, QWidget* parent) : QWidget(parent), m_background(background) {
    setObjectName("pctConstelacion");
}

void ConstellationView::plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, QColor colour) {
    m_points.clear();
    m_colour = colour;
    m_middleLine = false;
    const std::size_t step = std::max<std::size_t>(1, cells.size() / kMostDots);
    for (std::size_t i = 0; i < cells.size(); i += step) {
        if (const auto point = cellPoint(cells[i], bitsPerCell)) m_points.push_back(*point);
    }
    update();
}

void ConstellationView::plotSoftValues(std::span<const float> softValues, QColor colour) {
    m_points.clear();
    m_colour = colour;
    m_middleLine = true;
    const std::size_t step = std::max<std::size_t>(1, softValues.size() / kMostSoftValues);
    const double dx = 2.0 * kEdge * static_cast<double>(step) / static_cast<double>(softValues.size());
    double x = -kEdge;
    for (std::size_t i = 0; i < softValues.size(); i += step) {
        x += dx;
        m_points.emplace_back(x, kSoftValueScale * softValues[i]);
    }
    update();
}

void ConstellationView::clear() {
    m_points.clear();
    m_middleLine = false;
    update();
}

void ConstellationView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (m_middleLine) {
        painter.setPen(QPen(Qt::blue, 1));
        painter.drawLine(0, height() / 2, width(), height() / 2);
    }
    painter.setPen(QPen(m_colour, kDotWidthPx));
    const double scaleX = width() / (2.0 * kEdge);
    const double scaleY = height() / (2.0 * kEdge);
    for (const QPointF& p : m_points)
        painter.drawPoint(QPoint(static_cast<int>(std::lround((p.x() + kEdge) * scaleX)),
                                 static_cast<int>(std::lround((kEdge - p.y()) * scaleY))));
}

}  // namespace zolk::shell
