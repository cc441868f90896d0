#include "shell/sound_card_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include "app/station.h"
#include "shell/twips.h"

namespace zolk::shell {
namespace {

constexpr int kDriveLargeStepDb = 5;
// The playback list is narrower when the board list stands beside it.
constexpr std::int32_t kOutputWidthWithBoardTwips = 4695;
constexpr std::int32_t kOutputWidthTwips = 6255;

QString driveText(int driveDb) { return QString("%1 dB").arg(driveDb); }

}  // namespace

SoundCardDialog::SoundCardDialog(Station& station, QWidget* parent) : QDialog(parent), m_station(station) {
    setObjectName("SoundCardDialog");
    setWindowTitle("SoundCard");
    setModal(false);
    auto* grid = new QGridLayout(this);

    grid->addWidget(new QLabel("Input:", this), 0, 0);
    m_input = addDeviceList(AudioDirection::Capture, "cboTarjetaSonidoEntrada");
    grid->addWidget(m_input, 0, 1, 1, 3);
    grid->addWidget(new QLabel("Output:", this), 1, 0);
    m_output = addDeviceList(AudioDirection::Playback, "cboTarjetaSonidoSalida");
    grid->addWidget(m_output, 1, 1);
    m_boardLabel = new QLabel("PTT", this);
    m_boardLabel->setObjectName("lblUZBoard");
    grid->addWidget(m_boardLabel, 1, 2);
    m_boards = new QComboBox(this);
    m_boards->setObjectName("cboUZBoard");
    grid->addWidget(m_boards, 1, 3);
    selectStored(AudioDirection::Capture);
    selectStored(AudioDirection::Playback);

    grid->addWidget(new QLabel("Drive:", this), 2, 0);
    m_drive = new QSlider(Qt::Horizontal, this);
    m_drive->setObjectName("sldDrive");
    m_drive->setRange(StationSetup::kMinDriveDb, StationSetup::kMaxDriveDb);
    m_drive->setSingleStep(1);
    m_drive->setPageStep(kDriveLargeStepDb);
    m_drive->setValue(station.settings().txDriveLevel);
    grid->addWidget(m_drive, 2, 1);
    m_driveLabel = new QLabel(driveText(station.settings().txDriveLevel), this);
    m_driveLabel->setObjectName("lblDrive");
    grid->addWidget(m_driveLabel, 2, 2);
    m_tune = new QPushButton(station.setup().tuning() ? "Stop" : "Tune", this);
    m_tune->setObjectName("cmdTune");
    m_tune->setToolTip("1500Hz Test tone, useful for the ALC adjustment");
    grid->addWidget(m_tune, 2, 3);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    grid->addWidget(ok, 3, 3);

    const bool board = static_cast<PttVia>(station.settings().pttVia) == PttVia::HidBoard;
    m_output->setMinimumWidth(pixels(board ? kOutputWidthWithBoardTwips : kOutputWidthTwips));
    m_boardLabel->setVisible(board);
    m_boards->setVisible(board);
    if (board) fillBoards();

    connect(m_input, &QComboBox::activated, this, [this](int i) { handleDevice(AudioDirection::Capture, i); });
    connect(m_output, &QComboBox::activated, this, [this](int i) { handleDevice(AudioDirection::Playback, i); });
    connect(m_drive, &QSlider::valueChanged, this, &SoundCardDialog::handleDrive);
    connect(m_tune, &QPushButton::clicked, this, &SoundCardDialog::handleTune);
    connect(m_boards, &QComboBox::activated, this, &SoundCardDialog::handleBoard);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString SoundCardDialog::deviceEntry(const std::string& name) {
    return name.empty() ? QString("System default device") : QString::fromStdString(name);
}

QComboBox* SoundCardDialog::addDeviceList(AudioDirection direction, const char* objectName) {
    auto* list = new QComboBox(this);
    list->setObjectName(objectName);
    for (const std::string& name : m_station.setup().deviceChoices(direction))
        list->addItem(deviceEntry(name), QString::fromStdString(name));
    return list;
}

QComboBox* SoundCardDialog::deviceList(AudioDirection direction) const {
    return direction == AudioDirection::Capture ? m_input : m_output;
}

void SoundCardDialog::selectStored(AudioDirection direction) {
    QComboBox* list = deviceList(direction);
    const QSignalBlocker blocker(list);
    list->setCurrentIndex(list->findData(QString::fromStdString(m_station.setup().storedDevice(direction))));
}

void SoundCardDialog::handleDevice(AudioDirection direction, int index) {
    const std::string name = deviceList(direction)->itemData(index).toString().toStdString();
    // A refused choice leaves the list showing the device in use.
    if (m_station.setup().chooseDevice(direction, name) == SetupOutcome::Refused) selectStored(direction);
}

void SoundCardDialog::handleDrive(int driveDb) {
    m_station.setup().setDriveLevel(driveDb);
    m_driveLabel->setText(driveText(m_station.settings().txDriveLevel));
}

void SoundCardDialog::handleTune() {
    // A tone that a host's call ended shows "Stop" until the button is pressed: that press only
    // says so.
    if (m_tune->text() == "Stop" && !m_station.setup().tuning()) {
        m_tune->setText("Tune");
        return;
    }
    m_station.setup().pressTune();
    m_tune->setText(m_station.setup().tuning() ? "Stop" : "Tune");
}

void SoundCardDialog::fillBoards() {
    const StationSetup::BoardList list = m_station.setup().boardList();
    m_boards->clear();
    for (int k = 1; k <= list.count; ++k) m_boards->addItem(QString("UZ-Board-%1").arg(k));
    m_boardShown = list.selected - 1;
    m_boards->setCurrentIndex(m_boardShown);
}

void SoundCardDialog::handleBoard(int index) {
    const SetupOutcome outcome = m_station.setup().chooseBoard(index + 1);
    if (outcome == SetupOutcome::Refused || outcome == SetupOutcome::Invalid) {
        m_boards->setCurrentIndex(m_boardShown);
        return;
    }
    m_boardShown = index;
}

void SoundCardDialog::done(int result) {
    m_station.setup().soundCardClosed();
    m_tune->setText("Tune");
    QDialog::done(result);
}

}  // namespace zolk::shell
