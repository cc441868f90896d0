// fitted_label.h: a label whose text shrinks to fit its width instead of being cut off. The window's
// boxes have fixed sizes, and a reading such as "S/N (2500 Hz): +16.2 dB" is wider than its box at
// common desktop fonts.
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

namespace zolk::shell {

// The font, made smaller in half-point steps down to kSmallestFittedPointSize, in which text fits
// width pixels; the font itself when the text fits already.
inline constexpr double kSmallestFittedPointSize = 5.0;
QFont fittedFont(const QFont& font, const QString& text, int width);

class FittedLabel : public QLabel {
public:
    using QLabel::QLabel;

    // A layout may give the label less than its text's full width: the text then shrinks.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace zolk::shell
