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

std::string snrText(float snrDb) { return signedOneDecimal("S/N (2500 Hz): ", snrDb, "dB"); }

std::string afcText(float offsetHz) { return signedOneDecimal("AFC: ", offsetHz, "Hz"); }

std::string levelText(float levelDb) {
    char text[40];
    std::snprintf(text, sizeof text, "Audio Input: %.0f dB", static_cast<double>(levelDb));
    return text;
}

std::string cpuText(float percent) {
    char text[32];
    std::snprintf(text, sizeof text, "CPU Usage: %.0f %%", static_cast<double>(percent));
    return text;
}

}  // namespace zolk::shell
