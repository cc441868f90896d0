#include "shell/setup_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "app/station.h"

namespace zolk::shell {

SetupDialog::SetupDialog(Station& station, QWidget* parent) : QDialog(parent), m_station(station) {
    setObjectName("SetupDialog");
    setWindowTitle("Setup");
    setModal(true);
    auto* form = new QFormLayout(this);
    m_commandPort = new QLineEdit(QString::number(station.settings().commandPortNumber), this);
    m_commandPort->setObjectName("txtPuertoComandos");
    m_commandPort->setToolTip("TCP Command Port (default: 8300)");
    form->addRow("Command port:", m_commandPort);
    m_dataPort = new QLineEdit(this);
    m_dataPort->setObjectName("txtPuertoDatos");
    m_dataPort->setReadOnly(true);
    form->addRow("Data port:", m_dataPort);
    showDataPort(m_commandPort->text());
    m_retries = new QComboBox(this);
    m_retries->setObjectName("cboRetries");
    m_retries->setToolTip("Number of connection retries");
    for (int n = 1; n <= 5; ++n) m_retries->addItem(QString::number(n), n);
    m_retries->setCurrentIndex(m_retries->findData(station.setup().retriesShown()));
    form->addRow("Retries:", m_retries);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    form->addRow(ok);

    connect(m_commandPort, &QLineEdit::textChanged, this, &SetupDialog::showDataPort);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void SetupDialog::showDataPort(const QString& commandPort) {
    const std::optional<std::int32_t> port = portNumber(commandPort.toStdString());
    m_dataPort->setText(port ? QString::number(*port + 1) : QString());
}

void SetupDialog::done(int result) {
    const SetupOutcome outcome = m_station.setup().applyHostPorts(m_commandPort->text().toStdString(),
                                                                  m_retries->currentData().toInt());
    if (outcome == SetupOutcome::Invalid) {
        m_commandPort->setFocus();
        m_commandPort->selectAll();
        return;
    }
    QDialog::done(result);
}

}  // namespace zolk::shell
