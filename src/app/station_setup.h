// station_setup.h: what the operator's setup dialogs may change, and when. The sound card (devices,
// drive level, the tune tone, the PTT board), the host ports and retries, and the PTT settings;
// the dialogs are the shell's and only show what this class decides. Owns the tune state; the
// settings and devices are the station's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/audio_device_port.h"
#include "radio/radio_control.h"

namespace zolk {

class Station;

enum class SetupOutcome : std::uint8_t {
    Unchanged,  // nothing to do
    Stored,     // stored (and the device reopened where one was concerned)
    Refused,    // a link or call is under way: nothing was stored
    Invalid,    // a value was rejected with a message: nothing was stored
};

// The PTT dialog's choices, edited as a whole and stored when the dialog closes.
struct PttChoices {
    bool external = true;  // the host program keys the radio
    PttVia via = PttVia::Vox;
    int rig = kDefaultRig;
    std::string catBaud;
    std::string pttPort;
    std::string catPort;
    int pin = 1;
    bool catRts = false;
    bool catDtr = false;
    std::string icomAddress;
    std::string boardIds;
    int boardGpio = kDefaultPttBoardGpio;
    std::string rigctldHost;
    std::int32_t rigctldPort = kDefaultRigctldPort;
    bool operator==(const PttChoices&) const = default;
};

// The CI-V address box is offered for the CAT way with a model that has a default address.
bool civAddressShown(PttVia via, int rig);

// The host port text as a number, when it is one (digits only, blanks around allowed).
std::optional<std::int32_t> portNumber(std::string_view text);

class StationSetup {
public:
    explicit StationSetup(Station& station) : m_station(station) {}

    // Sound card. The names to offer: the devices the system reports, then the stored name when
    // the system does not report it (an unplugged card keeps its setting). "" is the default device.
    std::vector<std::string> deviceChoices(AudioDirection direction) const;
    const std::string& storedDevice(AudioDirection direction) const;
    // Stores the device and reopens that direction; refused during a link or call.
    SetupOutcome chooseDevice(AudioDirection direction, const std::string& name);
    static constexpr int kMinDriveDb = -30;
    static constexpr int kMaxDriveDb = 0;
    // "ALC Drive Level", clamped to its range; the tune tone follows it at once.
    void setDriveLevel(int driveDb);

    // The Tune button: starts the 1500 Hz tone (the radio keyed) or stops it.
    void pressTune();
    bool tuning() const { return m_tuning; }
    // Stops the tone, if it is on: the host's call needs the transmitter.
    void endTune();

    // The PTT board list (PttVia 4): how many boards there are and the 1-based position of the
    // stored one (0: none of them).
    struct BoardList {
        int count = 0;
        int selected = 0;
    };
    BoardList boardList();
    // Opens the board at a 1-based position and stores its path; refused during a link or call.
    SetupOutcome chooseBoard(int position);

    // The sound card dialog closes: the tone stops; the settings are saved unless the station is
    // shutting down.
    void soundCardClosed();

    // The TCP dialog closes with this port text and retries count (1..5).
    SetupOutcome applyHostPorts(std::string_view portText, int retries);
    // The retries entry (1..5) shown for the stored limit: itself, or 5 when it is outside.
    int retriesShown() const;

    PttChoices pttChoices() const;
    // The PTT dialog closes: checks the address, board ids and rigctld port (a message for each
    // bad one, nothing stored), refuses a change during a link or call, else stores the choices,
    // re-opens the radio port and saves the settings.
    SetupOutcome applyPtt(const PttChoices& choices);

private:
    bool linkInProgress() const;
    void refuseDuringLink();
    void invalid(std::string_view message);
    void stopTune();

    Station& m_station;
    bool m_tuning = false;
};

}  // namespace zolk
