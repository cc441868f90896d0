// The setup and calibration dialogs on the offscreen platform, on a station in virtual time: what
// they show, what a choice stores in the settings file, and what they refuse.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/station.h"
#include "app/station_session.h"
#include "radio/radio_table.h"
#include "shell/calibration_dialog.h"
#include "shell/main_window.h"
#include "shell/ptt_dialog.h"
#include "shell/setup_dialog.h"
#include "shell/sound_card_dialog.h"
#include "sim/harness.h"
#include "sim/ping_exchange.h"
#include "support/scratch_dir.h"
#include "test_application.h"

namespace zolk::shell {
namespace {

using sim::SimStation;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

QStringList entries(const QComboBox* list) {
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
    return shown;
}

// What the operator does: pick an entry of a list.
void pick(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

class DialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }

    SimStation& started(const std::string& settings = {}) {
        if (!settings.empty()) std::ofstream(m_folder / "ZOLK SAT.ini") << settings;
        SimStation& s = m_harness.addStation(m_folder);
        EXPECT_TRUE(s.station().start());
        m_harness.hostConnects(s, HostSocket::Command);
        m_harness.hostConnects(s, HostSocket::Data);
        command(s, "MYCALL EA5ABC");
        return s;
    }
    void command(SimStation& s, std::string_view line) {
        m_harness.hostSends(s, HostSocket::Command, bytesOf(std::string(line) + "\r"));
    }
    void startCall(SimStation& s) {
        command(s, "CONNECT EA5ABC N0CALL");
        ASSERT_TRUE(s.station().session().arq().inProgress());
    }
    bool saved(const std::string& line) const {
        std::ifstream in(m_folder / "ZOLK SAT.ini");
        std::stringstream text;
        text << in.rdbuf();
        return text.str().find("\n" + line + "\n") != std::string::npos;
    }
    static std::string lastMessage(SimStation& s) {
        const auto& boxes = s.ui().messageBoxes();
        return boxes.empty() ? std::string() : boxes.back().first + ": " + boxes.back().second;
    }
    template <typename W>
    static W* child(QWidget& dialog, const char* name) {
        W* w = dialog.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    zolk::test::ScratchDir m_scratch;
    const std::filesystem::path& m_folder = m_scratch.path();
    sim::Harness m_harness;
};

TEST_F(DialogsTest, SoundCardDialogListsTheDevicesAndStoresTheChoice) {
    SimStation& s = started("[Soundcard]\nInput Device Name=Gone Card\n");
    s.audio().setDevices(AudioDirection::Capture, {"Sim Input", "USB Audio CODEC"});
    s.audio().setDevices(AudioDirection::Playback, {"Sim Output", "USB Audio CODEC"});
    SoundCardDialog dialog(s.station());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "SoundCard");
    auto* input = child<QComboBox>(dialog, "cboTarjetaSonidoEntrada");
    auto* output = child<QComboBox>(dialog, "cboTarjetaSonidoSalida");
    EXPECT_EQ(entries(input), (QStringList{"System default device", "Sim Input", "USB Audio CODEC", "Gone Card"}));
    EXPECT_EQ(input->currentText(), "Gone Card");
    EXPECT_EQ(output->currentText(), "System default device");
    EXPECT_FALSE(child<QComboBox>(dialog, "cboUZBoard")->isVisible());

    pick(output, 2);
    EXPECT_EQ(s.audio().openDevice(AudioDirection::Playback), "USB Audio CODEC");
    EXPECT_TRUE(saved("Output Device Name=USB Audio CODEC"));
    pick(input, 0);
    EXPECT_EQ(s.station().settings().inputDeviceName, "");

    auto* drive = child<QSlider>(dialog, "sldDrive");
    EXPECT_EQ(drive->minimum(), -30);
    EXPECT_EQ(drive->maximum(), 0);
    EXPECT_EQ(drive->pageStep(), 5);
    drive->setValue(-12);
    EXPECT_EQ(child<QLabel>(dialog, "lblDrive")->text(), "-12 dB");
    dialog.accept();
    EXPECT_TRUE(saved("ALC Drive Level=-12"));
    EXPECT_TRUE(s.ui().messageBoxes().empty());
}

TEST_F(DialogsTest, SoundCardDialogRefusesADeviceDuringALinkAndShowsTheOneInUse) {
    SimStation& s = started();
    s.audio().setDevices(AudioDirection::Playback, {"Sim Output", "USB Audio CODEC"});
    startCall(s);
    SoundCardDialog dialog(s.station());
    dialog.show();
    auto* output = child<QComboBox>(dialog, "cboTarjetaSonidoSalida");
    pick(output, 2);
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while connection is in progress");
    EXPECT_EQ(output->currentText(), "System default device");
    EXPECT_EQ(s.station().settings().outputDeviceName, "");
}

TEST_F(DialogsTest, TuneButtonTogglesAndClosingTheDialogStopsTheTone) {
    SimStation& s = started();
    SoundCardDialog dialog(s.station());
    dialog.show();
    auto* tune = child<QPushButton>(dialog, "cmdTune");
    EXPECT_EQ(tune->toolTip(), "1500Hz Test tone, useful for the ALC adjustment");
    tune->click();
    EXPECT_EQ(tune->text(), "Stop");
    EXPECT_TRUE(s.station().transmitActive());
    tune->click();
    EXPECT_EQ(tune->text(), "Tune");
    EXPECT_FALSE(s.station().transmitActive());
    tune->click();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(s.station().transmitActive());
    EXPECT_FALSE(s.station().setup().tuning());
}

TEST_F(DialogsTest, SetupDialogShowsTheDataPortAndKeepsABadPortOpen) {
    SimStation& s = started("[Setup]\nRetries=10\n");
    SetupDialog dialog(s.station());
    dialog.show();
    auto* command = child<QLineEdit>(dialog, "txtPuertoComandos");
    auto* data = child<QLineEdit>(dialog, "txtPuertoDatos");
    auto* retries = child<QComboBox>(dialog, "cboRetries");
    EXPECT_EQ(command->text(), "8300");
    EXPECT_EQ(data->text(), "8301");
    EXPECT_EQ(entries(retries), (QStringList{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(retries->currentText(), "5");

    for (const char* bad : {"1024", "65535", "port"}) {
        SCOPED_TRACE(bad);
        command->setText(bad);
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(lastMessage(s), "ZOLK SAT: Invalid TCP port. BPQ Port should be >1024 and <65535");
        EXPECT_EQ(s.station().settings().commandPortNumber, 8300);
    }
    command->setText("8400");
    EXPECT_EQ(data->text(), "8401");
    retries->setCurrentIndex(2);
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(saved("TCP Command Port=8400"));
    EXPECT_TRUE(saved("Retries=3"));
    EXPECT_EQ(s.hostLink().listeningPort(HostSocket::Data), 8401);
}

TEST_F(DialogsTest, SetupDialogClosesWithoutStoringDuringALink) {
    SimStation& s = started();
    startCall(s);
    SetupDialog dialog(s.station());
    dialog.show();
    child<QLineEdit>(dialog, "txtPuertoComandos")->setText("8400");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while connection is in progress");
    EXPECT_EQ(s.station().settings().commandPortNumber, 8300);
}

TEST_F(DialogsTest, PttDialogFollowsTheBrandAndModelAndStoresOnClose) {
    SimStation& s = started("[PTT]\nRig=52\nVia=1\nBaud=38400\n");
    PttDialog dialog(s.station(), {"/dev/ttyUSB0", "/dev/ttyACM0"});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "PTT");
    auto* brands = child<QComboBox>(dialog, "cboMarcas");
    auto* models = child<QComboBox>(dialog, "cboModelos");
    auto* bauds = child<QComboBox>(dialog, "cboBaudios");
    EXPECT_EQ(brands->currentText(), "Yaesu");
    EXPECT_EQ(models->currentText(), "FT-897");
    EXPECT_TRUE(child<QRadioButton>(dialog, "optSwitchingZOLK")->isChecked());
    // The stored port is offered beside the system's.
    EXPECT_EQ(entries(child<QComboBox>(dialog, "cboCATCOM")), (QStringList{"COM1", "/dev/ttyUSB0", "/dev/ttyACM0"}));

    brands->setCurrentIndex(brands->findText("Kenwood"));
    EXPECT_EQ(models->currentText(), "TS-2000");
    EXPECT_EQ(dialog.choices().rig, radioModelNumber("TS-2000"));
    EXPECT_EQ(entries(bauds), (QStringList{"9600", "4800", "19200", "38400", "57600"}));
    EXPECT_EQ(bauds->currentText(), "38400");
    // A model with one rate: that rate becomes the stored one.
    brands->setCurrentIndex(brands->findText("Yaesu"));
    models->setCurrentText("FT-100");
    EXPECT_EQ(entries(bauds), QStringList{"4800"});
    EXPECT_EQ(dialog.choices().catBaud, "4800");

    child<QComboBox>(dialog, "cboCATCOM")->setCurrentText("/dev/ttyUSB0");
    child<QCheckBox>(dialog, "chkDTR")->setChecked(true);
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(saved("Rig=" + std::to_string(radioModelNumber("FT-100"))));
    EXPECT_TRUE(saved("Baud=4800"));
    EXPECT_TRUE(saved("CATPort=/dev/ttyUSB0"));
    EXPECT_TRUE(saved("DTR=1"));
    EXPECT_EQ(s.station().radioControl().settings().catPort, "/dev/ttyUSB0");
}

TEST_F(DialogsTest, PttDialogShowsWhatEachWayNeeds) {
    SimStation& s = started("[PTT]\nRig=" + std::to_string(radioModelNumber("IC-7300")) + "\nVia=1\n");
    PttDialog dialog(s.station(), {});
    dialog.show();
    struct Case {
        const char* way;
        bool models, catPort, pttPort, lines, pin, address, boardIds, rigctld;
    };
    const Case cases[] = {
        {"optCAT", true, true, false, true, false, true, false, false},
        {"optCOM", false, false, true, false, true, false, false, false},
        {"optVOX", false, false, false, false, false, false, false, false},
        {"optUZBoard", false, false, false, false, false, false, true, false},
        {"optRigctld", false, false, false, false, false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        child<QRadioButton>(dialog, c.way)->setChecked(true);
        EXPECT_EQ(child<QComboBox>(dialog, "cboModelos")->isVisible(), c.models);
        EXPECT_EQ(child<QComboBox>(dialog, "cboCATCOM")->isVisible(), c.catPort);
        EXPECT_EQ(child<QComboBox>(dialog, "cboPTTCOM")->isVisible(), c.pttPort);
        EXPECT_EQ(child<QCheckBox>(dialog, "chkRTS")->isVisible(), c.lines);
        EXPECT_EQ(child<QGroupBox>(dialog, "fraPin")->isVisible(), c.pin);
        EXPECT_EQ(child<QLineEdit>(dialog, "txtIcomAddress")->isVisible(), c.address);
        EXPECT_EQ(child<QLineEdit>(dialog, "txtBoardIds")->isVisible(), c.boardIds);
        EXPECT_EQ(child<QLineEdit>(dialog, "txtRigctldHost")->isVisible(), c.rigctld);
    }
    // The host keys the radio: no way to choose.
    child<QRadioButton>(dialog, "optSwitchingExternal")->setChecked(true);
    EXPECT_FALSE(child<QGroupBox>(dialog, "FraGlobal")->isVisible());
}

TEST_F(DialogsTest, PttDialogKeepsAWrongAddressOpenAndRefusesDuringALink) {
    SimStation& s = started("[PTT]\nRig=" + std::to_string(radioModelNumber("IC-7300")) + "\nVia=1\n");
    {
        PttDialog dialog(s.station(), {});
        dialog.show();
        auto* address = child<QLineEdit>(dialog, "txtIcomAddress");
        EXPECT_EQ(address->text(), "94");  // none stored: the model's own
        address->setText("9");
        emit address->textEdited("9");
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(lastMessage(s), "ZOLK SAT: wrong Icom Address format");
        address->setText("9a");
        emit address->textEdited("9a");
        dialog.accept();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(saved("Icom Address=9A"));
    }
    startCall(s);
    PttDialog dialog(s.station(), {});
    dialog.show();
    child<QRadioButton>(dialog, "optVOX")->setChecked(true);
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while connection is in progress");
    EXPECT_EQ(s.station().settings().pttVia, 1);
    EXPECT_EQ(s.station().radioControl().settings().via, PttVia::Cat);
}

// The calibration dialog as the operator opens it: from the window's menu, on a window that shows
// what the station shows of the calibration.
class CalibrationDialogTest : public DialogsTest {
protected:
    CalibrationDialog* opened(SimStation& s) {
        m_window.attach(&s.station());
        m_window.menuAction(MenuItem::Calibrate)->trigger();
        auto* dialog = m_window.findChild<CalibrationDialog*>();
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }
    // What the station showed since the last call reaches the window.
    void relay(SimStation& s) {
        const auto& views = s.ui().calibration();
        for (; m_relayed < views.size(); ++m_relayed) m_window.showCalibration(views[m_relayed]);
    }
    static bool shown(QWidget& dialog, const char* name) { return child<QWidget>(dialog, name)->isVisibleTo(&dialog); }
    static QColor background(QWidget& dialog, const char* name) {
        return child<QLabel>(dialog, name)->palette().color(QPalette::Window);
    }

    MainWindow m_window;
    std::size_t m_relayed = 0;
};

TEST_F(CalibrationDialogTest, OpensFromTheMenuWithTheStoredTargetAndNothingShown) {
    SimStation& s = started("[Calibrate]\nTarget=ea5xyz\n");
    CalibrationDialog* dialog = opened(s);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), "SAT Link Calibration");
    EXPECT_EQ(child<QLineEdit>(*dialog, "txtTarget")->text(), "EA5XYZ");
    for (const auto& [name, caption] : {std::pair{"cmdRough", "Rough Tuning +-1000 Hz"},
                                        std::pair{"cmdFine", "Fine Tuning +-140 Hz"}, std::pair{"cmdClose", "Close"}}) {
        EXPECT_EQ(child<QPushButton>(*dialog, name)->text(), caption);
    }
    for (const char* name : {"fraTest", "lblSendingPing", "ImgNoSignal"}) EXPECT_FALSE(shown(*dialog, name)) << name;
}

// Neither a ping button nor the closing accepts a bad call sign: the operator is told, the box has
// the focus, nothing is sent or stored. A good one is stored in upper case as the dialog closes.
TEST_F(CalibrationDialogTest, InvalidCallSignIsRefusedAndNothingSent) {
    SimStation& s = started();
    CalibrationDialog* dialog = opened(s);
    ASSERT_NE(dialog, nullptr);
    auto* target = child<QLineEdit>(*dialog, "txtTarget");
    for (const char* bad : {"", "EA5 XYZ", "TOOLONGCALL", "-7", "EA5#Y"}) {
        for (const char* button : {"cmdRough", "cmdFine", "cmdClose"}) {
            SCOPED_TRACE(testing::Message() << "'" << bad << "' " << button);
            const std::size_t before = s.ui().messageBoxes().size();
            target->setText(bad);
            child<QPushButton>(*dialog, button)->click();
            EXPECT_EQ(s.ui().messageBoxes().size(), before + 1);
            EXPECT_EQ(lastMessage(s), "ZOLK SAT: Invalid Call Sign");
            EXPECT_EQ(dialog->focusWidget(), target);
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(s.station().session().arq().state(), SessionState::Disconnected);
            EXPECT_FALSE(s.station().transmitActive());
            EXPECT_EQ(s.station().settings().calibrationTarget, "N0CALL");
        }
    }
    EXPECT_TRUE(s.ui().calibration().empty());
    target->setText("g4abc-7");
    child<QPushButton>(*dialog, "cmdClose")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(saved("Target=G4ABC-7"));
}

// A good call sign is stored and pinged; "Sending ping..." stays until the wait ends, and while it
// shows a second press does nothing and a CONNECT is refused. No reply shows the no-signal picture.
TEST_F(CalibrationDialogTest, PingsOnceAndShowsNoSignalWhenNoReplyComes) {
    SimStation& s = started();
    CalibrationDialog* dialog = opened(s);
    ASSERT_NE(dialog, nullptr);
    auto* target = child<QLineEdit>(*dialog, "txtTarget");
    target->setText("ea5xyz");
    child<QPushButton>(*dialog, "cmdFine")->click();
    EXPECT_TRUE(saved("Target=EA5XYZ"));
    EXPECT_EQ(target->text(), "EA5XYZ");
    EXPECT_EQ(s.station().session().arq().state(), SessionState::Pinging);
    relay(s);
    EXPECT_TRUE(shown(*dialog, "lblSendingPing"));
    EXPECT_EQ(child<QLabel>(*dialog, "lblSendingPing")->text(), "Sending ping...");

    m_harness.runFor(std::chrono::milliseconds(500));
    target->setText("g4abc");
    child<QPushButton>(*dialog, "cmdRough")->click();
    EXPECT_TRUE(s.ui().messageBoxes().empty());
    EXPECT_EQ(s.ui().calibration().size(), 1u);
    EXPECT_EQ(s.station().settings().calibrationTarget, "EA5XYZ");

    s.hostLink().clearSent(HostSocket::Command);
    command(s, "CONNECT EA5ABC N0CALL");
    EXPECT_EQ(lastMessage(s), "ZOLK SAT: Not while calibration is in progress");
    EXPECT_EQ(s.hostLink().sentText(HostSocket::Command), "WRONG\r");
    EXPECT_EQ(s.station().session().arq().state(), SessionState::Pinging);
    relay(s);
    EXPECT_TRUE(dialog->isVisible());

    m_harness.runFor(std::chrono::seconds(6));
    relay(s);
    ASSERT_EQ(s.ui().calibration().back().status, CalibrationStatus::NoReply);
    EXPECT_TRUE(shown(*dialog, "ImgNoSignal"));
    EXPECT_FALSE(shown(*dialog, "lblSendingPing"));
    EXPECT_FALSE(shown(*dialog, "fraTest"));
    EXPECT_FALSE(child<QLabel>(*dialog, "ImgNoSignal")->pixmap().isNull());
    // The next press pings again, with the call sign now in the box.
    child<QPushButton>(*dialog, "cmdRough")->click();
    EXPECT_EQ(s.station().session().arq().state(), SessionState::Pinging);
    EXPECT_EQ(s.station().settings().calibrationTarget, "G4ABC");
    relay(s);
    EXPECT_TRUE(shown(*dialog, "lblSendingPing"));
    EXPECT_FALSE(shown(*dialog, "ImgNoSignal"));
}

// The results with their backgrounds: a real rough exchange whose ping arrives 900 Hz low (reply 3,
// shown as 800 Hz on red), and views in the other colours.
TEST_F(CalibrationDialogTest, AResultShowsTheThreeLinesOnTheirColours) {
    const sim::PingOutcome exchange = sim::runPingExchange(m_folder / "exchange", PingKind::Rough,
                                                           sim::PingPath{.offsetHz = -900.0},
                                                           sim::PingPath{.offsetHz = 40.0});
    ASSERT_TRUE(exchange.shown.has_value());
    ASSERT_EQ(exchange.replyCode, 3);
    const CalibrationView& real = *exchange.shown;
    const CalibrationView yellow{.status = CalibrationStatus::Result,
                                 .txShiftHz = -94,
                                 .rxShiftHz = 83,
                                 .pingMs = 2001,
                                 .txColour = CalibrationColour::Yellow,
                                 .rxColour = CalibrationColour::Yellow,
                                 .pingColour = CalibrationColour::Yellow};
    const CalibrationView mixed{.status = CalibrationStatus::Result,
                                .txShiftHz = 0,
                                .rxShiftHz = -118,
                                .pingMs = 3001,
                                .txColour = CalibrationColour::Green,
                                .rxColour = CalibrationColour::Red,
                                .pingColour = CalibrationColour::Red};
    struct Case {
        CalibrationView view;
        QString tx, rx, ping;
        QColor txColour, rxColour, pingColour;
    };
    const QString realRx = QString("RX Shift: %1 Hz").arg(real.rxShiftHz);
    const QString realPing = QString("Ping: %1 ms").arg(real.pingMs);
    SimStation& s = started();
    CalibrationDialog* dialog = opened(s);
    ASSERT_NE(dialog, nullptr);
    for (const Case& c : {Case{real, "TX Shift: 800 Hz", realRx, realPing, Qt::red, Qt::green, Qt::green},
                          Case{yellow, "TX Shift: -94 Hz", "RX Shift: 83 Hz", "Ping: 2001 ms", Qt::yellow, Qt::yellow,
                               Qt::yellow},
                          Case{mixed, "TX Shift: 0 Hz", "RX Shift: -118 Hz", "Ping: 3001 ms", Qt::green, Qt::red,
                               Qt::red}}) {
        SCOPED_TRACE(c.tx.toStdString());
        m_window.showCalibration(CalibrationView{.status = CalibrationStatus::SendingPing});
        m_window.showCalibration(c.view);
        EXPECT_TRUE(shown(*dialog, "fraTest"));
        EXPECT_FALSE(shown(*dialog, "lblSendingPing"));
        EXPECT_FALSE(shown(*dialog, "ImgNoSignal"));
        EXPECT_EQ(child<QLabel>(*dialog, "lblTX")->text(), c.tx);
        EXPECT_EQ(child<QLabel>(*dialog, "lblRX")->text(), c.rx);
        EXPECT_EQ(child<QLabel>(*dialog, "lblPing")->text(), c.ping);
        EXPECT_EQ(background(*dialog, "lblTX"), c.txColour);
        EXPECT_EQ(background(*dialog, "lblRX"), c.rxColour);
        EXPECT_EQ(background(*dialog, "lblPing"), c.pingColour);
    }
}

// A call closes the dialog at once, without the call-sign check and its message.
TEST_F(CalibrationDialogTest, AConnectionStartUnloadsTheDialog) {
    SimStation& s = started();
    QPointer<CalibrationDialog> dialog = opened(s);
    ASSERT_NE(dialog, nullptr);
    child<QLineEdit>(*dialog, "txtTarget")->setText("not a call");
    command(s, "CONNECT EA5ABC N0CALL");
    ASSERT_TRUE(s.station().session().arq().inProgress());
    relay(s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(s.ui().messageBoxes().empty());
    EXPECT_EQ(s.station().settings().calibrationTarget, "N0CALL");
}

}  // namespace
}  // namespace zolk::shell
