// waterfall_view.h: the scrolling spectrum picture: rows of 1024 columns, the newest at the top,
// stretched across the widget's width. Owns the picture (one pixel row per received row).
#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <span>

namespace zolk::shell {

class WaterfallView final : public QWidget {
    Q_OBJECT
public:
    explicit WaterfallView(QWidget* parent = nullptr);
    // rgb: one 0xRRGGBB colour per column (extra colours are ignored, missing ones black).
    void addRow(std::span<const std::uint32_t> rgb);
    // Black all over.
    void clear();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // One picture row per pixel row of the widget; a new height starts a black picture.
    void fitPicture();

    QImage m_picture;
};

}  // namespace zolk::shell
