// settings.h: every persistent option of a station, with its default.
// Plain data; reading and writing "ZOLK SAT.ini" is the settings file's job.
#pragma once

#include <cstdint>
#include <string>

namespace zolk {

struct Settings {
    // [Soundcard]
    std::string InputDeviceName;   // empty: the system default device
    std::string OutputDeviceName;  // empty: the system default device
    std::string UzBoardDevicePath;
    std::int16_t TxDriveLevel = -5;  // dB, "ALC Drive Level"
    std::string UzBoardIds = "0D8C:013A,0D8C:0008";  // vendor:product pairs that count as a PTT board
    std::uint8_t UzBoardGpio = 3;                     // the board's keying pin, 1..8
    // [PTT]
    std::uint8_t Rig = 52;  // 1-based index into the radio table
    std::string PttPort = "COM1";
    std::string CatPort = "COM1";
    std::string CatBaud = "4800";
    std::uint8_t PttPin = 1;  // 1 RTS, 2 DTR, 3 both
    std::uint8_t CatRts = 0;
    std::uint8_t CatDtr = 0;
    std::uint8_t PttVia = 3;  // 1 CAT, 2 RTS/DTR, 3 VOX, 4 USB HID board, 5 rigctld
    std::string IcomAddress;
    // [Setup]
    std::uint8_t WaterfallMode = 1;
    std::int32_t CommandPortNumber = 8300;  // held wide so that 1025..65534 all fit
    std::uint8_t RetryLimit = 10;
    std::uint8_t ViewMode = 1;
    std::uint8_t TcpListenAll = 0;  // "TCP Listen All": 1 opens the host ports to the network
    std::string RigctldHost = "127.0.0.1";  // PttVia 5: where rigctld listens
    std::int32_t RigctldPort = 4532;
    // [Monitor]
    std::uint8_t MonitorMode = 0;
    // [Log]
    std::string LogCaption = "Log";
    // [Position], twips
    std::int32_t TopPosition = 870;
    std::int32_t LeftPosition = 2325;
    // [Calibrate]
    std::string CalibrationTarget = "N0CALL";

    bool operator==(const Settings&) const = default;
};

}  // namespace zolk
