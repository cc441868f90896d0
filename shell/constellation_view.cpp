#include "shell/constellation_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <initializer_list>
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

std::vector<QLineF> referenceLines(int bitsPerCell) {
    const auto vertical = [](double x, double reach) { return QLineF(x, -reach, x, reach); };
    const auto horizontal = [](double y, double reach) { return QLineF(-reach, y, reach, y); };
    // Square grids: boundaries halfway between neighbouring levels, on both axes.
    const auto grid = [&](std::initializer_list<double> at) {
        std::vector<QLineF> lines;
        for (double v : at) {
            lines.push_back(vertical(v, kEdge));
            lines.push_back(horizontal(v, kEdge));
        }
        return lines;
    };
    switch (bitsPerCell) {
    case 1:
        // The two points land at (1, -1) and (-1, 1).
        return {QLineF(-kEdge, -kEdge, kEdge, kEdge)};
    case 2:
        return grid({0.0});
    case 3:
        // Eight points at 22.5 + 45 k degrees: the boundaries run at every 45 degrees.
        return {vertical(0.0, kEdge), horizontal(0.0, kEdge), QLineF(-kEdge, -kEdge, kEdge, kEdge),
                QLineF(-kEdge, kEdge, kEdge, -kEdge)};
    case 4:
        return grid({-1.0, 0.0, 1.0});  // levels -1.5, -0.5, 0.5, 1.5
    case 5: {
        // A 6 x 6 grid of levels 1/3, 1, 5/3 without its corners: the outer boundaries stop where
        // the corners begin.
        constexpr double kInner = 2.0 / 3.0;
        constexpr double kOuter = 4.0 / 3.0;
        std::vector<QLineF> lines = grid({-kInner, 0.0, kInner});
        for (double v : {-kOuter, kOuter}) {
            lines.push_back(vertical(v, kOuter));
            lines.push_back(horizontal(v, kOuter));
        }
        return lines;
    }
    case 6:
        return grid({-1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5});  // levels -1.75 .. 1.75 step 0.5
    default:
        return {};
    }
}

ConstellationView::ConstellationView(QColor background, QWidget* parent) : QWidget(parent), m_background(background) {
    setObjectName("pctConstelacion");
}

void ConstellationView::plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, QColor colour) {
    m_points.clear();
    m_colour = colour;
    m_lines = referenceLines(bitsPerCell);
    const std::size_t step = std::max<std::size_t>(1, cells.size() / kMostDots);
    for (std::size_t i = 0; i < cells.size(); i += step) {
        if (const auto point = cellPoint(cells[i], bitsPerCell)) m_points.push_back(*point);
    }
    update();
}

void ConstellationView::plotSoftValues(std::span<const float> softValues, QColor colour) {
    m_points.clear();
    m_colour = colour;
    m_lines = {QLineF(-kEdge, 0.0, kEdge, 0.0)};
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
    m_lines.clear();
    update();
}

void ConstellationView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    const double scaleX = width() / (2.0 * kEdge);
    const double scaleY = height() / (2.0 * kEdge);
    const auto pixel = [&](QPointF p) {
        return QPoint(static_cast<int>(std::lround((p.x() + kEdge) * scaleX)),
                      static_cast<int>(std::lround((kEdge - p.y()) * scaleY)));
    };
    // The lines go under the dots, so that no dot is hidden by them.
    painter.setPen(QPen(Qt::blue, 1));
    for (const QLineF& line : m_lines) painter.drawLine(pixel(line.p1()), pixel(line.p2()));
    painter.setPen(QPen(m_colour, kDotWidthPx));
    for (const QPointF& p : m_points) painter.drawPoint(pixel(p));
}

}  // namespace zolk::shell
