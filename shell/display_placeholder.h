// display_placeholder.h: the place of a display whose drawing comes later (waterfall,
// constellation, speed chart, round gauges): its background, shape and name.
// Owns nothing but its look; the displays' contents are the station's to send.
#pragma once

#include <QColor>
#include <QWidget>

namespace zolk::shell {

class DisplayPlaceholder final : public QWidget {
    Q_OBJECT
public:
    enum class Shape { Rectangle, Round };
    DisplayPlaceholder(const QString& name, Shape shape, QColor background, QWidget* parent = nullptr);
    // Back to the bare background.
    void clear() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape m_shape;
    QColor m_background;
};

}  // namespace zolk::shell
