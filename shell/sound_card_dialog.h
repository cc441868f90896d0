// sound_card_dialog.h: the "SoundCard" dialog: capture and playback devices, the drive slider, the
// Tune button and, when a USB HID board keys the radio, the board list. Owns its widgets only;
// every rule (what may change during a link, the tone, saving) is the station's setup.
#pragma once

#include <QDialog>

#include "ports/audio_device_port.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace zolk {
class Station;
}

namespace zolk::shell {

class SoundCardDialog final : public QDialog {
    Q_OBJECT
public:
    // The station must be running and outlive the dialog.
    SoundCardDialog(Station& station, QWidget* parent = nullptr);

    // The list entry shown for a device name ("" is the system default device).
    static QString deviceEntry(const std::string& name);

    void done(int result) override;

private:
    QComboBox* addDeviceList(AudioDirection direction, const char* objectName);
    void selectStored(AudioDirection direction);
    void handleDevice(AudioDirection direction, int index);
    void handleDrive(int driveDb);
    void handleTune();
    void handleBoard(int index);
    void fillBoards();
    QComboBox* deviceList(AudioDirection direction) const;

    Station& m_station;
    QComboBox* m_input = nullptr;
    QComboBox* m_output = nullptr;
    QSlider* m_drive = nullptr;
    QLabel* m_driveLabel = nullptr;
    QPushButton* m_tune = nullptr;
    QLabel* m_boardLabel = nullptr;
    QComboBox* m_boards = nullptr;
    int m_boardShown = -1;  // the board entry that stands (a refused choice goes back to it)
};

}  // namespace zolk::shell
