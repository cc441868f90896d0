#include "shell/status_panel.h"

#include <QHBoxLayout>

#include "shell/fitted_label.h"
#include "shell/led_icons.h"
#include "shell/twips.h"

namespace zolk::shell {

StatusPanelWidget::StatusPanelWidget(const zolk::StatusPanel& figures, QWidget* parent)
    : QFrame(parent), m_icon(new QLabel(this)), m_text(new FittedLabel(this)) {
    setObjectName(QString::fromUtf8(figures.key.data(), static_cast<qsizetype>(figures.key.size())));
    setFrameStyle(figures.inset ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
    if (figures.autoSize)
        setMinimumWidth(pixels(figures.widthTwips));
    else
        setFixedWidth(pixels(figures.widthTwips));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(3);
    const bool right = figures.alignment == PanelAlignment::Right;
    if (right) layout->addStretch(1);
    layout->addWidget(m_icon);
    layout->addWidget(m_text);
    if (!right) layout->addStretch(1);
    m_icon->hide();
    setText(figures.initialText);
}

void StatusPanelWidget::setText(std::string_view text) {
    m_text->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void StatusPanelWidget::setIcon(std::string_view key) {
    m_iconKey = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    const QPixmap picture = statusIcon(key);
    m_icon->setPixmap(picture);
    m_icon->setVisible(!picture.isNull());
}

}  // namespace zolk::shell
