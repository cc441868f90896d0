// constellation_view.h: the last frame's received cells as dots on a -2..+2 square (x = -2 at
// the left edge, y = +2 at the top). Holds the dots of one plot; each plot replaces the last.
#pragma once

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QWidget>

#include <complex>
#include <optional>
#include <span>
#include <vector>

namespace zolk::shell {

// Where a received cell lands for a mode with bitsPerCell, scaled so that the mode's ideal
// points sit inside -2..+2; nothing for a zero cell or one outside the square.
std::optional<QPointF> cellPoint(std::complex<float> cell, int bitsPerCell);

// The decision boundaries between the ideal points of a mode with bitsPerCell, in the same -2..+2
// coordinates as cellPoint: the lines a received cell must not cross to be read right.
std::vector<QLineF> referenceLines(int bitsPerCell);

class ConstellationView final : public QWidget {
    Q_OBJECT
public:
    explicit ConstellationView(QColor background, QWidget* parent = nullptr);
    // At most about 800 cells are drawn, evenly spread over the frame, over the mode's reference
    // lines in blue.
    void plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, QColor colour);
    // A strip of soft values across the picture, about 600 of them, around a blue middle line.
    void plotSoftValues(std::span<const float> softValues, QColor colour);
    void clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_background;
    QColor m_colour;
    std::vector<QPointF> m_points;
    std::vector<QLineF> m_lines;
};

}  // namespace zolk::shell
