// reading.h: the receiver's S/N reading of each mode's frames against the true S/N, on the scale of
// each transmission's mean power and on the modem's own scale (a fixed floor, peak level).
#pragma once

#include <filesystem>

namespace zolk::sessionbench {

// Writes session_reading.md.part into out. Throws std::runtime_error without the tables file.
void runReading(const std::filesystem::path& out);

}  // namespace zolk::sessionbench
