// ptt_dialog.h: the "PTT" dialog: who keys the radio and how (CAT, serial lines, VOX, the USB HID
// board, rigctld), the radio's brand, model and baud rate, the serial devices, the held RTS/DTR
// levels, the keying line and the Icom CI-V address. Owns its widgets and the choices made so far;
// the station's setup checks and stores them, re-opens the radio port and saves when it closes.
#pragma once

#include <QDialog>
#include <array>

#include "app/station_setup.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace zolk {
class Station;
}

namespace zolk::shell {

class PttDialog final : public QDialog {
    Q_OBJECT
public:
    // The station must be running and outlive the dialog. extraPorts: serial devices to offer
    // beside the stored ones (the shell passes the ones the system reports).
    PttDialog(Station& station, const QStringList& extraPorts, QWidget* parent = nullptr);

    const PttChoices& choices() const { return m_choices; }
    void done(int result) override;

private:
    void buildOwnership(QGridLayout* grid);
    void buildWays(QGridLayout* grid);
    void buildCat(QGridLayout* grid);
    void buildSerial(QGridLayout* grid, const QStringList& extraPorts);
    void buildBoardAndRigctld(QGridLayout* grid);
    QComboBox* addPortList(const char* objectName, const QStringList& ports, const std::string& stored);

    void chooseBrand(int index);
    void chooseModel(const QString& model);
    void chooseWay(PttVia via);
    void applyVisibility();

    Station& m_station;
    PttChoices m_choices;
    QRadioButton* m_byModem = nullptr;
    QRadioButton* m_byHost = nullptr;
    QGroupBox* m_global = nullptr;
    std::array<QRadioButton*, 5> m_ways{};  // in PttVia order, 1..5
    QLabel* m_brandLabel = nullptr;
    QComboBox* m_brands = nullptr;
    QLabel* m_modelLabel = nullptr;
    QComboBox* m_models = nullptr;
    QLabel* m_baudLabel = nullptr;
    QComboBox* m_bauds = nullptr;
    QLabel* m_portLabel = nullptr;
    QComboBox* m_pttPort = nullptr;
    QComboBox* m_catPort = nullptr;
    QGroupBox* m_pin = nullptr;
    QCheckBox* m_rts = nullptr;
    QCheckBox* m_dtr = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLineEdit* m_address = nullptr;
    QLabel* m_boardIdsLabel = nullptr;
    QLineEdit* m_boardIds = nullptr;
    QLabel* m_gpioLabel = nullptr;
    QSpinBox* m_gpio = nullptr;
    QLabel* m_rigctldLabel = nullptr;
    QLineEdit* m_rigctldHost = nullptr;
    QSpinBox* m_rigctldPort = nullptr;
};

}  // namespace zolk::shell
