// meter_text.h: the texts beside the gauges ("S/N (2500 Hz): +12.5 dB", "AFC: -3.0 Hz",
// "Audio Input: -20 dB", "CPU Usage: 12 %"), shared by the window and the console. Owns no state.
#pragma once

#include <string>

namespace zolk::shell {

std::string snrText(float snrDb);
std::string afcText(float offsetHz);
// "Audio Input: -20 dB"
std::string levelText(float levelDb);
// "CPU Usage: 12 %"
std::string cpuText(float percent);

}  // namespace zolk::shell
