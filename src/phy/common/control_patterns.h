// control_patterns.h: the tone patterns of the 26 control codes as plain data, shared by the
// drawing (session), the transmitter (phy/tx) and the detector (phy/rx). Owns nothing but the
// table layout; who draws it and when is the session's business.
#pragma once

#include <array>
#include <cstdint>

namespace zolk {

inline constexpr int kControlCodeCount = 26;  // codes 1..26
inline constexpr int kControlSymbols = 31;    // tones per pattern
inline constexpr int kControlBandTones = 7;   // a band is BandLow..BandLow + 6
inline constexpr int kControlLowestTone = 8;
inline constexpr int kControlHighestTone = 56;
// A pattern is reported once at least this many of its 31 symbols are the strongest of their band.
inline constexpr int kControlHitsNeeded = 19;

// Link calibration pings and their replies use tables of the same shape, every tone drawn from the
// one band 29..35 (328 Hz), so that a ping can be found far off frequency.
inline constexpr int kPingBandLow = 29;
// A ping or reply needs more of its symbols right than a control frame: its search is wider.
inline constexpr int kPingHitsNeeded = 21;

// ToneOf and BandLow per code 1..26 (index 0 unused) and symbol 0..30. A tone t is bin t of a
// 64-bin column of 1024 samples at 48000 Hz: t x 46.875 Hz.
struct ControlPatternTable {
    std::array<std::array<std::uint8_t, kControlSymbols>, kControlCodeCount + 1> toneOf{};
    std::array<std::array<std::uint8_t, kControlSymbols>, kControlCodeCount + 1> bandLow{};

    int bandHigh(int code, int symbol) const { return bandLow[code][symbol] + kControlBandTones - 1; }
    bool operator==(const ControlPatternTable&) const = default;
};

}  // namespace zolk
