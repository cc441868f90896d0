// setup_dialog.h: the TCP settings dialog: the command port (the data port shown as the next one)
// and the number of connection retries. Owns its widgets only; the station's setup checks and
// stores the values when the dialog closes, and a bad port keeps it open.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace zolk {
class Station;
}

namespace zolk::shell {

class SetupDialog final : public QDialog {
    Q_OBJECT
public:
    // The station must be running and outlive the dialog.
    SetupDialog(Station& station, QWidget* parent = nullptr);

    void done(int result) override;

private:
    void showDataPort(const QString& commandPort);

    Station& m_station;
    QLineEdit* m_commandPort = nullptr;
    QLineEdit* m_dataPort = nullptr;
    QComboBox* m_retries = nullptr;
};

}  // namespace zolk::shell
