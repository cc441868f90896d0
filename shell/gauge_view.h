// gauge_view.h: one round needle gauge (input level, CPU, AFC, S/N): a light face with scale
// marks and a black needle from the hub near the bottom edge, 0 % pointing left, 50 % up and
// 100 % right. Holds the needle's place; the values and their scales are the window's.
#pragma once

#include <QPointF>
#include <QWidget>

#include <optional>

namespace zolk::shell {

// Where the needle's tip stands for percent in a gauge of width x height: the hub sits at the
// horizontal centre, 2 units above the bottom edge; the needle is a tenth shorter than the
// radius, which is the smaller of the hub's coordinates less 5.
QPointF needleHub(int width, int height);
QPointF needleTip(double percent, int width, int height);

class GaugeView final : public QWidget {
    Q_OBJECT
public:
    explicit GaugeView(const QString& name, QWidget* parent = nullptr);
    // percent is limited to 0..100.
    void showNeedle(double percent);
    // No needle.
    void clear();
    std::optional<double> needle() const { return m_percent; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<double> m_percent;
};

}  // namespace zolk::shell
