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

// "Connected": two linked rings.
QPixmap connected(int size) {
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 140, 40), std::max(1.5, size / 7.0)));
    painter.setBrush(Qt::NoBrush);
    const double ring = size * 0.55;
    painter.drawEllipse(QRectF(1.5, (size - ring) / 2, ring, ring));
    painter.drawEllipse(QRectF(size - ring - 1.5, (size - ring) / 2, ring, ring));
    return pixmap;
}

// "Terminal": a small screen with a line of text.
QPixmap terminal(int size) {
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(20, 20, 20));
    painter.drawRect(QRectF(0.5, 1.5, size - 1, size * 0.75));
    painter.setPen(QPen(QColor(60, 220, 60), 1));
    painter.drawLine(QPointF(3, size * 0.45), QPointF(size * 0.65, size * 0.45));
    return pixmap;
}

// "Subiendo" (sending) and "Descargando" (receiving): an arrow up or down.
QPixmap arrow(bool up, QColor colour, int size) {
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const double mid = size / 2.0;
    const double tip = up ? 1.0 : size - 1.0;
    const double base = up ? size - 1.0 : 1.0;
    const double shoulder = size * 0.5;
    path.moveTo(mid, tip);
    path.lineTo(size - 1.0, shoulder);
    path.lineTo(size * 0.68, shoulder);
    path.lineTo(size * 0.68, base);
    path.lineTo(size * 0.32, base);
    path.lineTo(size * 0.32, shoulder);
    path.lineTo(1.0, shoulder);
    path.closeSubpath();
    painter.setPen(QPen(colour.darker(160), 1));
    painter.setBrush(colour);
    painter.drawPath(path);
    return pixmap;
}

}  // namespace

QPixmap statusIcon(std::string_view key, int sizePx) {
    if (std::find(kLedKeys.begin(), kLedKeys.end(), key) != kLedKeys.end())
        return led(ledColour(key), sizePx);
    if (key == "ErrorAmarillo") return warning(sizePx);
    if (key == "Connected") return connected(sizePx);
    if (key == "Terminal") return terminal(sizePx);
    if (key == "Subiendo") return arrow(true, QColor(30, 170, 50), sizePx);
    if (key == "Descargando") return arrow(false, QColor(40, 100, 220), sizePx);
    return {};
}

}  // namespace zolk::shell
