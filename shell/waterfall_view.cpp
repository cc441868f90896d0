#include "shell/waterfall_view.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

#include "ports/ui_sink.h"

namespace zolk::shell {

WaterfallView::WaterfallView(QWidget* parent) : QWidget(parent) {
    setObjectName("pctWaterfall");
    setAttribute(Qt::WA_OpaquePaintEvent);
    clear();
}

void WaterfallView::clear() {
    m_picture = QImage(static_cast<int>(kWaterfallColumns), std::max(1, height()), QImage::Format_RGB32);
    m_picture.fill(Qt::black);
    update();
}

void WaterfallView::fitPicture() {
    if (m_picture.height() != std::max(1, height())) clear();
}

void WaterfallView::addRow(std::span<const std::uint32_t> rgb) {
    fitPicture();
    // Every row moves down by one; the oldest falls off the bottom.
    const auto rowBytes = static_cast<std::size_t>(m_picture.bytesPerLine());
    const auto rows = static_cast<std::size_t>(m_picture.height());
    std::memmove(m_picture.bits() + rowBytes, m_picture.constBits(), rowBytes * (rows - 1));
    auto* top = reinterpret_cast<QRgb*>(m_picture.scanLine(0));
    const std::size_t given = std::min(rgb.size(), kWaterfallColumns);
    for (std::size_t n = 0; n < kWaterfallColumns; ++n) top[n] = qRgb(0, 0, 0) | (n < given ? rgb[n] : 0U);
    update();
}

void WaterfallView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), m_picture);
}

void WaterfallView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPicture();
}

}  // namespace zolk::shell
