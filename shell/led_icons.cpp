#include "shell/led_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <array>

namespace zolk::shell {
namespace {


constexpr std::array<std::string_view, 3> kLedKeys{"LedVerde", "LedRojo", "LedAmarillo"};

QColor ledColour(std::string_view key) {
    if (key == kLedKeys[0]) return QColor(30, 200, 40);
    if (key == kLedKeys[1]) return QColor(220, 30, 30);
    return QColor(240, 200, 20);
}

QPixmap blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap led(QColor colour, int size) {
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1, 1, size - 2, size - 2);
    // A lit lamp: bright where the light catches it, the full colour at the rim.
    QRadialGradient glow(body.center() - QPointF(size / 6.0, size / 6.0), size / 1.6);
    glow.setColorAt(0.0, colour.lighter(170));
    glow.setColorAt(1.0, colour.darker(130));
    painter.setBrush(glow);
    painter.setPen(QPen(colour.darker(200), 1));
    painter.drawEllipse(body);
    return pixmap;
}

QPixmap warning(int size) {
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(size / 2.0, 1);
    triangle.lineTo(size - 1, size - 1);
    triangle.lineTo(1, size - 1);
    triangle.closeSubpath();
    painter.setBrush(QColor(240, 200, 20));
    painter.setPen(QPen(QColor(120, 90, 0), 1));
    painter.drawPath(triangle);
    painter.setPen(QPen(Qt::black, std::max(1.0, size / 8.0)));
    painter.drawLine(QPointF(size / 2.0, size * 0.38), QPointF(size / 2.0, size * 0.68));
    painter.drawPoint(QPointF(size / 2.0, size * 0.82));
    return pixmap;
}

}  // namespace

QPixmap statusIcon(std::string_view key, int size_px) {
    if (std::find(kLedKeys.begin(), kLedKeys.end(), key) != kLedKeys.end()) return led(ledColour(key), size_px);
    if (key == "ErrorAmarillo") return warning(size_px);
    return {};
}

}  // namespace zolk::shell
