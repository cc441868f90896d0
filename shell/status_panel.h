// status_panel.h: one panel of the status bar: an optional LED picture and a text.
// Owns its two labels; the key, width, bevel and alignment come from the window's panel table.
#pragma once

#include <QFrame>
#include <QLabel>
#include <string_view>

#include "app/window_layout.h"

namespace zolk::shell {

class StatusPanelWidget final : public QFrame {
    Q_OBJECT
public:
    StatusPanelWidget(const zolk::StatusPanel& figures, QWidget* parent = nullptr);

    void setText(std::string_view text);
    void setIcon(std::string_view key);
    QString text() const { return m_text->text(); }
    // The image-list key shown, empty for none.
    const QString& iconKey() const { return m_iconKey; }

private:
    QLabel* m_icon;
    QLabel* m_text;
    QString m_iconKey;
};

}  // namespace zolk::shell
