// settings.h: every persistent option of a station, with its default.
// Plain data; reading and writing "ZOLK SAT.ini" is the settings file's job.
#pragma once

#include <cstdint>
#include <string>

namespace zolk {

struct Settings {
    // [Soundcard]
    std::string inputDeviceName;   // empty: the system default device
    std::string outputDeviceName;  // empty: the system default device
    std::string uzBoardDevicePath;
    std::int16_t txDriveLevel = -5;  // dB, "ALC Drive Level"
    std::string uzBoardIds = "0D8C:013A,0D8C:0008";  // vendor:product pairs that count as a PTT board
    std::uint8_t uzBoardGpio = 3;                     // the board's keying pin, 1..8
    // [PTT]
    std::uint8_t rig = 52;  // 1-based index into the radio table
    std::string pttPort = "COM1";
    std::string catPort = "COM1";
    std::string catBaud = "4800";
    std::uint8_t pttPin = 1;  // 1 RTS, 2 DTR, 3 both
    std::uint8_t catRts = 0;
    std::uint8_t catDtr = 0;
    std::uint8_t pttVia = 3;  // 1 CAT, 2 RTS/DTR, 3 VOX, 4 USB HID board, 5 rigctld
    std::string icomAddress;
    // [Setup]
    std::uint8_t waterfallMode = 1;
    std::int32_t commandPortNumber = 8300;  // held wide so that 1025..65534 all fit
    std::uint8_t retryLimit = 10;
    std::uint8_t viewMode = 1;
    std::uint8_t tcpListenAll = 0;  // "TCP Listen All": 1 opens the host ports to the network
    std::string rigctldHost = "127.0.0.1";  // PttVia 5: where rigctld listens
    std::int32_t rigctldPort = 4532;
    // [Monitor]
    std::uint8_t monitorMode = 0;
    // [Log]
    std::string logCaption = "Log";
    // [Position], twips
    std::int32_t topPosition = 870;
    std::int32_t leftPosition = 2325;
    // [Calibrate]
    std::string calibrationTarget = "N0CALL";

    bool operator==(const Settings&) const = default;
};

}  // namespace zolk
