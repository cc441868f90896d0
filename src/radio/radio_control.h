// radio_control.h: keys and releases the transmitter around every transmission and tells the host
// about each change. Owns TransmitActive, the PTT flags, the remembered serial-port state, the HID
// board and the rigctld connection; the serial, HID and TCP access are ports, the host lines and
// the session's state belong to the station (RadioControlHost).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/timer_port.h"
#include "ports/transmitter_keying.h"
#include "ports/ui_sink.h"
#include "radio/hid_ptt_board.h"
#include "radio/radio_table.h"
#include "radio/rigctld_link.h"
#include "radio/serial_port.h"

namespace zolk {

enum class PttVia : std::uint8_t { Cat = 1, SerialLines = 2, Vox = 3, HidBoard = 4, Rigctld = 5 };

// The PTT settings the radio control works with (a copy of the station's).
struct RadioSettings {
    PttVia via = PttVia::Vox;
    int rig = kDefaultRig;  // radio table entry for CAT
    std::string pttPort;    // serial device for RTS/DTR keying
    std::string catPort;    // serial device for CAT
    std::string catBaud = "4800";
    int pin = 1;          // RTS/DTR keying: 1 RTS, 2 DTR, 3 both
    bool catRts = false;  // line levels held while the CAT port is open
    bool catDtr = false;
    std::string icomAddress;  // empty: the model's default
    std::string boardPath;    // the HID board's stored path
    std::vector<UsbId> boardIds = kDefaultPttBoardIds;
    int boardGpio = kDefaultPttBoardGpio;
    std::string rigctldHost = std::string(kDefaultRigctldHost);
    std::uint16_t rigctldPort = kDefaultRigctldPort;
};

// The longest transmission the modem makes is a 10 s lead-in tone, two frames of the slowest mode
// (4.8 s each), the silent tail and the playback queue draining behind them: about 22 s
// (tests/radio check the figure against the mode table). 60 s leaves a wide margin. Past this limit the transmitter is released whatever holds it: a stuck key.
inline constexpr std::chrono::milliseconds kPttSafetyLimit = timerInterval(TimerId::PttSafety);

// What the radio control asks of its station.
class RadioControlHost {
public:
    virtual ~RadioControlHost() = default;
    // "PTT ON" / "PTT OFF" to the host program.
    virtual void reportPtt(bool on) = 0;
    // The session is in its Disconnecting state.
    virtual bool sessionDisconnecting() const = 0;
    // A single board was found with no stored path: remember it (and save the settings).
    virtual void storeBoardPath(const std::string& path) = 0;
    // Several boards and none stored: the operator must pick one (the sound card dialog).
    virtual void chooseBoard() = 0;
};

struct RadioPorts {
    TimerPort& timers;
    UiSink& ui;
    SerialPort& serial;
    HidDevices& hid;
    RigctldLink& rigctld;
};

class RadioControl final : public TransmitterKeying, public TransmitIndicators {
public:
    RadioControl(RadioPorts ports, RadioControlHost& host);

    // New settings take effect at the next openRadioPort() / key-up.
    void configure(const RadioSettings& settings);
    const RadioSettings& settings() const { return m_settings; }
    // PttExternal: the host program keys the radio on "PTT ON"/"PTT OFF"; nothing is written.
    void setPttExternal(bool external) { m_pttExternal = external; }
    bool pttExternal() const { return m_pttExternal; }

    // Opens, re-opens or closes the serial port to match the settings; the port is re-opened only
    // when the device, line settings or held RTS/DTR levels changed. A port that cannot be opened
    // gets a message box and is tried again at the next call or key-up.
    void openRadioPort();
    // Lowers RTS and DTR, closes the port and forgets its settings; drops the rigctld connection.
    void closeRadioPort();
    bool radioPortOpen() const { return m_ports.serial.isOpen(); }
    // Finds and opens the HID board (PttVia 4 only), with the messages for none or several.
    void openConfiguredBoard();
    // The board itself, for the operator's choice among several.
    HidPttBoard& board() { return m_board; }

    // TransmitterKeying.
    void pttOn() override;
    void pttOff() override;
    bool transmitActive() const override { return m_transmitActive; }
    // Releases whatever is keyed at once, also in the Disconnecting state: shutdown, a stop signal,
    // a closed host, the safety limit.
    void releaseNow();
    // Only the device write that releases the radio, without host lines or panels: the last act of
    // a program that is failing (a crash, an uncaught exception).
    void releaseRadioOnly();
    // The radio itself is keyed (after the deferred key-up, until the release).
    bool radioKeyed() const { return m_radioKeyed; }

    // TransmitIndicators.
    void resetIndicators() override;
    void lightIndicator(TransmitIndicator kind, bool repetition = false) override;

    // The deferred key-up (KeyPtt) and the safety limit (PttSafety); other timers are not
    // this class's and return false.
    bool onTimer(TimerId id);

private:
    struct PortState {
        std::string device;
        std::string settingsText;
        bool rts = false;
        bool dtr = false;
        bool operator==(const PortState&) const = default;
    };

    bool openPort(bool showFailure);
    void keyRadio();
    // Writes the key (on) or release to the radio by the configured way; false with the reason.
    bool writeKeying(bool on, std::string& reason);
    bool writeSerial(bool on, std::string& reason);
    bool writeBoard(bool on, std::string& reason);
    bool writeRigctld(bool on, std::string& reason);
    void release();
    void keyingFailed(bool on, const std::string& reason);
    void showPtt(bool on);

    RadioPorts m_ports;
    RadioControlHost& m_host;
    RadioSettings m_settings;
    HidPttBoard m_board;
    bool m_pttExternal = true;
    bool m_transmitActive = false;
    bool m_pttReleased = true;
    bool m_radioKeyed = false;
    bool m_failureReported = false;
    // Set when the port was opened successfully; cleared on close, so the same settings open again.
    std::optional<PortState> m_portState;
    std::string m_failedDevice;  // the device of the last failed opening, for messages
};

}  // namespace zolk
