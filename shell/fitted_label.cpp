#include "shell/fitted_label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zolk::shell {

QFont fittedFont(const QFont& font, const QString& text, int width) {
    QFont fitted = font;
    const double advance = QFontMetricsF(font).horizontalAdvance(text);
    if (advance <= width || advance <= 0.0 || font.pointSizeF() <= 0.0) return fitted;
    // Text width grows about linearly with the point size; hinting can make a size a little
    // wider than that, so step down from the estimate until it fits.
    double size = std::floor(font.pointSizeF() * width / advance * 2.0) / 2.0;
    for (size = std::max(size, kSmallestFittedPointSize);; size -= 0.5) {
        fitted.setPointSizeF(size);
        if (size <= kSmallestFittedPointSize || QFontMetricsF(fitted).horizontalAdvance(text) <= width) break;
    }
    return fitted;
}

QSize FittedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void FittedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    painter.setFont(fittedFont(font(), text(), area.width()));
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area, static_cast<int>(alignment()), text());
}

}  // namespace zolk::shell
