// meter_text.h: the texts beside the S/N, AFC and CPU meters ("S/N (2500 Hz): +12.5 dB",
// "AFC: -3.0 Hz", "CPU Usage: 12 %"), shared by the window and the console. Owns no state.
#pragma once

#include <string>

namespace zolk::shell {

std::string snrText(float snrDb);
std::string afcText(float offsetHz);
// "CPU Usage: 12 %"
std::string cpuText(float percent);

}  // namespace zolk::shell
