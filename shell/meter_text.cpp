#include "shell/meter_text.h"

#include <cstdio>

namespace zolk::shell {
namespace {

// Positive values carry their sign; one decimal, as the meters have always shown them.
std::string signedOneDecimal(const char* label, float value, const char* unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%s%.1f %s", label, value > 0.0F ? "+" : "", static_cast<double>(value), unit);
    return text;
}

}  // namespace

std::string snrText(float snr_db) { return signedOneDecimal("S/N (2500 Hz): ", snr_db, "dB"); }

std::string afcText(float offset_hz) { return signedOneDecimal("AFC: ", offset_hz, "Hz"); }

}  // namespace zolk::shell
