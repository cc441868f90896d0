// speed_chart_view.h: the speed chart: the net bit rate of the last 20 frames sent or received as
// bars, oldest on the left, in the series colour (red while this station sends, green while it
// receives). A lost frame is a zero point: a flat mark on the base line in the same colour.
// Holds the points; the station decides them.
#pragma once

#include <QWidget>

#include <array>

#include "ports/ui_sink.h"

namespace zolk::shell {

class SpeedChartView final : public QWidget {
    Q_OBJECT
public:
    explicit SpeedChartView(QWidget* parent = nullptr);
    // Every point back to 0, in colour.
    void reset(ChartColour colour);
    // Appends one point; the oldest goes beyond kSpeedChartPoints.
    void add(int bitRate);
    const std::array<int, kSpeedChartPoints>& points() const { return m_points; }
    ChartColour colour() const { return m_colour; }
    // The bar area of point i (0 = oldest) at full height; the base line is its bottom edge.
    QRect slot(std::size_t i) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<int, kSpeedChartPoints> m_points{};  // oldest first
    ChartColour m_colour = ChartColour::Green;
};

}  // namespace zolk::shell
