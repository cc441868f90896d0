// calibration_dialog.h: the "SAT Link Calibration" dialog: the call sign of the station to ping,
// the rough and fine ping buttons, "Sending ping..." while a ping waits for its reply, then either
// the three results (TX shift, RX shift, ping time) on their colours or the no-signal picture.
// Owns its widgets only; the station checks and stores the call sign and runs the ping, and the
// window passes on what the station shows of it.
#pragma once

#include <QDialog>
#include <array>

#include "ports/calibration_view.h"
#include "session/ping_codes.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zolk {
class Station;
}

namespace zolk::shell {

class CalibrationDialog final : public QDialog {
    Q_OBJECT
public:
    // The station must be running and outlive the dialog.
    CalibrationDialog(Station& station, QWidget* parent = nullptr);

    // What the station shows of the calibration: a ping under way, its result or no reply. A link
    // or call that starts closes the dialog without the call-sign check.
    void showCalibration(const CalibrationView& view);

    // Closing checks and stores the call sign (not while the station shuts down); an invalid one
    // keeps the dialog open.
    void done(int result) override;

private:
    // A ping button: nothing while a ping waits for its reply; else the call sign is checked and
    // stored and the ping started.
    void ping(PingKind kind);
    // The call sign in the box stored; false (the station has said why, the box has the focus)
    // when it is invalid.
    bool storeTarget();

    Station& m_station;
    QLineEdit* m_target = nullptr;
    QPushButton* m_rough = nullptr;
    QPushButton* m_fine = nullptr;
    QLabel* m_sendingPing = nullptr;
    QLabel* m_noSignal = nullptr;
    QGroupBox* m_results = nullptr;
    std::array<QLabel*, 3> m_resultLines{};  // lblTX, lblRX, lblPing
};

}  // namespace zolk::shell
