// station.h: one modem. Owns every piece of mutable state of a station (settings, audio engine,
// host interface, the radio control, the radio side with its receive and transmit chains, and the
// ARQ session); meets the world only through ports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "app/host_bridge.h"
#include "app/session_log.h"
#include "app/settings.h"
#include "app/station_setup.h"
#include "host/host_interface.h"
#include "phy/common/audio_engine.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "ports/audio_device_port.h"
#include "ports/host_link_port.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"
#include "radio/null_radio_devices.h"
#include "radio/radio_control.h"
#include "session/ping_codes.h"

namespace zolk {

// The devices that key the radio.
struct RadioDevices {
    SerialPort& serial;
    HidDevices& hid;
    RigctldLink& rigctld;
};

// The adapters a shell (Qt, headless or the virtual-time harness) lends to a station.
struct StationPorts {
    TimerPort& timers;
    HostLinkPort& hostLink;
    AudioDevicePort& audio;
    UiSink& ui;
    // Null: the station has no serial port, HID board or rigctld (keying fails with a reason).
    RadioDevices* radio = nullptr;
};

struct WindowPosition {
    std::int32_t topTwips;
    std::int32_t leftTwips;
};

class StationRadio;
class StationSession;

class Station final : public HostLinkEvents, private RadioControlHost {
public:
    // stationFolder holds "ZOLK SAT.ini" and the log; it is created if missing. tablesFile is the
    // tables file to use (the --tables option); without it the file is looked for beside the
    // executable, then in the installed data folder.
    Station(StationPorts ports, std::filesystem::path stationFolder,
            std::optional<std::filesystem::path> tablesFile = std::nullopt);
    // Runs the shutdown sequence if the station is still running.
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // The start-up sequence. Returns false when the station cannot run (the reason has been
    // shown through the UI sink); nothing has been opened then. The shell holds the folder's
    // single-instance lock before it calls this.
    bool start();
    // The shutdown sequence: PTT off, audio closed, timers stopped, sockets closed, settings saved.
    // windowPosition: where the window stands, or nothing when it is minimised or there is none;
    // the saved position is kept then.
    void shutdown(std::optional<WindowPosition> windowPosition);
    bool running() const { return m_running; }
    // Closing: set at the start of shutdown; dialogs skip their own saving once it is set.
    bool closing() const { return m_closing; }

    // Events, one at a time, each run to completion. Events before start() or after shutdown()
    // are ignored.
    void onCaptureBlock(std::span<const std::int16_t> interleavedStereo);  // 256 frames
    void onPlaybackRequest(std::span<std::int16_t> interleavedStereo);     // fills 256 frames
    // The sound backend lost a direction that was open (device unplugged or failed).
    void onAudioDeviceFailed(AudioDirection direction);
    void onTimer(TimerId id);
    void onHostConnected(HostSocket socket) override;
    void onHostClosed(HostSocket socket) override;
    void onHostError(HostSocket socket) override;
    void onHostBytes(HostSocket socket, std::span<const std::uint8_t> bytes) override;
    // Whether the operator can see the window (shown and not minimised); the waterfall and the
    // level gauge are drawn only then. A station without a window never draws them.
    void setWindowShown(bool shown) { m_windowShown = shown; }
    bool windowShown() const { return m_windowShown; }
    // Menu items the core acts on: Waterfall, View and Monitor. Items that open a dialog, the
    // log file, the guide or the About box are the shell's.
    void onMenu(MenuItem item);

    const Settings& settings() const { return m_settings; }
    const std::filesystem::path& folder() const { return m_folder; }
    std::filesystem::path settingsFile() const;
    // Writes the settings file now; a failure is reported as a log line.
    bool saveSettings();

    // mnuPTT: hidden at start-up, shown by the host's MYCALL. While hidden the PTT keys of the
    // settings file are left as they are.
    void setPttMenuShown(bool shown);
    bool pttMenuShown() const { return m_pttMenuShown; }

    // TransmitActive, set by PTT ON and PTT OFF; the audio engine reads it per playback buffer.
    bool transmitActive() const { return m_radioControl.transmitActive(); }
    // Keys and releases the transmitter; the session keys through it.
    RadioControl& radioControl() { return m_radioControl; }
    // MYCALL: from now on the modem keys the radio itself (PttExternal 0).
    void takeOverPtt();
    // Copies the PTT settings to the radio control and opens, re-opens or closes the serial port
    // to match them (start-up, MYCALL, the PTT dialog).
    void applyRadioPort();

    // "ZOLKSAT.log" in the station folder.
    SessionLog& sessionLog() { return m_log; }
    // The Log menu: the caption becomes "Log" (saved). Returns the file for the shell to open, or
    // nothing after telling the operator "Empty Log".
    std::optional<std::filesystem::path> openLog();

    // The tables file and the drawn tables, both read-only once start() has succeeded.
    const TablesFile& tables() const { return *m_tables; }
    const DrawnTables& drawnTables() const { return *m_drawnTables; }
    // The station's air-interface random source (control codes, pings, lead-in cells).
    RandomSource& random() { return m_random; }

    // The transmit generators and the receive front-end attach here.
    AudioEngine& audioEngine() { return m_audio; }
    // The session and data transfer send status lines and received data through it.
    HostInterface& host() { return m_host; }
    // The receive and transmit chains; exists from start() until shutdown().
    StationRadio& radio() { return *m_radio; }
    // The ARQ session with its adapters; exists from start() until shutdown().
    StationSession& session() { return *m_session; }
    // The input level the level gauge shows, in dB below full scale, measured from the capture
    // peak every 100 ms.
    float inputLevelDb() const { return m_inputLevelDb; }
    // What the setup dialogs may change, and when.
    StationSetup& setup() { return m_setup; }

    // The calibration target, from the calibration window or the host's CALIBRATE: an empty or
    // invalid call sign is refused with "Invalid Call Sign" (false); a valid one is stored upper
    // case and the settings saved.
    bool storeCalibrationTarget(std::string_view target);
    // Link calibration ping of kind to the stored calibration target. Refused with "Busy channel"
    // while the channel is busy; monitor mode is left as for a call. False when nothing was sent
    // (the operator has been told why, except for a ping already waiting for its reply).
    bool startPing(PingKind kind);

private:
    // The setup dialogs' rules edit the settings and reopen the devices they concern.
    friend class StationSetup;

    struct KeyingView final : TransmitKeying {
        explicit KeyingView(const RadioControl& radio) : radio(radio) {}
        const RadioControl& radio;
        bool transmitActive() const override { return radio.transmitActive(); }
    };

    // RadioControlHost.
    void reportPtt(bool on) override;
    bool sessionDisconnecting() const override;
    void storeBoardPath(const std::string& path) override;
    void chooseBoard() override;
    void setLogCaption(std::string_view caption);

    bool prepareFolder();
    // Loads and checks the tables file, then draws the phase tables; false (after a message that
    // names the file) when the file is missing, of the wrong size or corrupt.
    bool loadTables();
    void setUpWindow();
    void openAudio();
    void startAudioWatchdog();
    void applyView();
    void applyWaterfallMenu();
    void applyMonitorMenu();
    // The level gauge's tick: the capture peak since the last tick becomes the input level the
    // busy detector gates on, and is shown unless the window cannot be seen or the station
    // transmits (the gauge then stays cleared).
    void measureInputLevel();
    // The constellation's hold has run out.
    void clearConstellation();
    // No link and no call under way.
    bool sessionIdle() const;
    // The return to idle: the host ports re-armed, the radio's reception stopped with monitor mode
    // as the settings say, and the session cleaned up.
    void resetSession();

    StationPorts m_ports;
    std::filesystem::path m_folder;
    std::filesystem::path m_tablesFile;
    std::shared_ptr<const TablesFile> m_tables;
    RandomSource m_random;
    std::optional<DrawnTables> m_drawnTables;
    Settings m_settings;
    NullSerialPort m_noSerialPort;
    NullHidDevices m_noHidDevices;
    NullRigctldLink m_noRigctld;
    RadioControl m_radioControl;
    KeyingView m_keying{m_radioControl};
    SessionLog m_log;
    AudioEngine m_audio;
    HostBridge m_hostBridge{*this};
    HostInterface m_host;
    std::unique_ptr<StationRadio> m_radio;
    std::unique_ptr<StationSession> m_session;  // uses the radio: destroyed before it
    float m_inputLevelDb = captureLevelDb(0.0f);
    StationSetup m_setup{*this};
    bool m_pttMenuShown = false;
    bool m_running = false;
    bool m_closing = false;
    bool m_windowShown = false;
};

}  // namespace zolk
