#include "shell/calibration_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/station.h"

namespace zolk::shell {
namespace {

constexpr int kNoSignalSizePx = 48;

QColor resultColour(CalibrationColour colour) {
    switch (colour) {
    case CalibrationColour::Green:
        return Qt::green;
    case CalibrationColour::Yellow:
        return Qt::yellow;
    case CalibrationColour::Red:
        return Qt::red;
    }
    return Qt::green;
}

// An antenna whose waves are struck through: nothing came back.
QPixmap noSignalPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double middle = size / 2.0;
    painter.setPen(QPen(Qt::darkGray, size / 16.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(middle, size * 0.45), QPointF(middle, size * 0.9));
    painter.drawLine(QPointF(middle, size * 0.9), QPointF(size * 0.3, size * 0.9));
    painter.drawLine(QPointF(middle, size * 0.9), QPointF(size * 0.7, size * 0.9));
    painter.setBrush(Qt::NoBrush);
    for (const double radius : {size * 0.15, size * 0.28}) {
        const QRectF ring(middle - radius, size * 0.4 - radius, 2 * radius, 2 * radius);
        painter.drawArc(ring, 30 * 16, 120 * 16);
    }
    painter.setPen(QPen(Qt::red, size / 10.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(size * 0.15, size * 0.15), QPointF(size * 0.85, size * 0.85));
    return pixmap;
}

QLabel* resultLine(const char* name, QWidget* parent) {
    auto* line = new QLabel(parent);
    line->setObjectName(name);
    line->setAlignment(Qt::AlignCenter);
    line->setAutoFillBackground(true);
    return line;
}

}  // namespace

CalibrationDialog::CalibrationDialog(Station& station, QWidget* parent) : QDialog(parent), m_station(station) {
    setObjectName("CalibrationDialog");
    setWindowTitle("SAT Link Calibration");
    setModal(true);
    auto* column = new QVBoxLayout(this);

    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(new QLabel("Call sign:", this));
    m_target = new QLineEdit(QString::fromStdString(station.settings().calibrationTarget).toUpper(), this);
    m_target->setObjectName("txtTarget");
    targetRow->addWidget(m_target);
    column->addLayout(targetRow);

    auto* buttons = new QHBoxLayout;
    m_rough = new QPushButton("Rough Tuning +-1000 Hz", this);
    m_rough->setObjectName("cmdRough");
    m_fine = new QPushButton("Fine Tuning +-140 Hz", this);
    m_fine->setObjectName("cmdFine");
    buttons->addWidget(m_rough);
    buttons->addWidget(m_fine);
    column->addLayout(buttons);

    m_sendingPing = new QLabel(kSendingPingText, this);
    m_sendingPing->setObjectName("lblSendingPing");
    m_sendingPing->setAlignment(Qt::AlignCenter);
    column->addWidget(m_sendingPing);
    m_noSignal = new QLabel(this);
    m_noSignal->setObjectName("ImgNoSignal");
    m_noSignal->setPixmap(noSignalPicture(kNoSignalSizePx));
    m_noSignal->setAlignment(Qt::AlignCenter);
    m_noSignal->setToolTip("No reply");
    column->addWidget(m_noSignal);

    m_results = new QGroupBox(this);
    m_results->setObjectName("fraTest");
    auto* lines = new QVBoxLayout(m_results);
    const std::array<const char*, 3> names{"lblTX", "lblRX", "lblPing"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        m_resultLines[i] = resultLine(names[i], m_results);
        lines->addWidget(m_resultLines[i]);
    }
    column->addWidget(m_results);

    auto* close = new QPushButton("Close", this);
    close->setObjectName("cmdClose");
    column->addWidget(close, 0, Qt::AlignRight);

    m_sendingPing->hide();
    m_noSignal->hide();
    m_results->hide();

    connect(m_rough, &QPushButton::clicked, this, [this] { ping(PingKind::Rough); });
    connect(m_fine, &QPushButton::clicked, this, [this] { ping(PingKind::Fine); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CalibrationDialog::ping(PingKind kind) {
    if (m_sendingPing->isVisibleTo(this)) return;
    if (storeTarget()) m_station.startPing(kind);
}

bool CalibrationDialog::storeTarget() {
    if (m_station.storeCalibrationTarget(m_target->text().toStdString())) {
        m_target->setText(m_target->text().toUpper());
        return true;
    }
    m_target->setFocus();
    m_target->selectAll();
    return false;
}

void CalibrationDialog::showCalibration(const CalibrationView& view) {
    if (view.status == CalibrationStatus::Closed) {
        QDialog::done(QDialog::Rejected);
        return;
    }
    m_sendingPing->setVisible(view.status == CalibrationStatus::SendingPing);
    m_noSignal->setVisible(view.status == CalibrationStatus::NoReply);
    m_results->setVisible(view.status == CalibrationStatus::Result);
    if (view.status != CalibrationStatus::Result) return;
    const auto texts = calibrationLines(view);
    const std::array colours{view.txColour, view.rxColour, view.pingColour};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        m_resultLines[i]->setText(QString::fromStdString(texts[i]));
        QPalette palette = m_resultLines[i]->palette();
        palette.setColor(QPalette::Window, resultColour(colours[i]));
        palette.setColor(QPalette::WindowText, Qt::black);
        m_resultLines[i]->setPalette(palette);
    }
}

void CalibrationDialog::done(int result) {
    if (!m_station.closing() && !storeTarget()) return;
    QDialog::done(result);
}

}  // namespace zolk::shell
