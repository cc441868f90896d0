#include "shell/display_placeholder.h"

#include <QPainter>

namespace zolk::shell {

DisplayPlaceholder::DisplayPlaceholder(const QString& name, Shape shape, QColor background, QWidget* parent)
    : QWidget(parent), m_shape(shape), m_background(background) {
    setObjectName(name);
}

void DisplayPlaceholder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(m_background);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_shape == Shape::Round)
        painter.drawEllipse(area);
    else
        painter.drawRect(area);
}

}  // namespace zolk::shell
