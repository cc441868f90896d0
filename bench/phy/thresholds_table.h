// thresholds_table.h: writes the measured-thresholds table the receiving side's speed adaptation
// reads (src/session/measured_thresholds.inc) from the 90 % points of the clean-channel curves.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zolk::bench {

struct ThresholdsTableSource {
    std::vector<std::optional<double>> snr90Db;  // per mode 0..14, clean channel
    int frames = 0;                              // transmissions per point
    double stepDb = 0.0;
    std::string provenance;  // which receiver was measured, and when
};

// Replaces path with the table. Throws std::runtime_error, leaving path as it was, when a mode is
// missing or never reached 90 %, or when the file cannot be written.
void writeThresholdsTable(const std::filesystem::path& path, const ThresholdsTableSource& source);

}  // namespace zolk::bench
