// bench_common.h: what the session benchmark's parts share: a fresh station pair per trial in a
// folder of its own, the mode table's figures for an S/N, and the output files of a part.
#pragma once

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "phy/common/mode_table.h"
#include "phy/tx/symbol_synthesis.h"
#include "sim/station_pair.h"

namespace zolk::sessionbench {

// A pair in a scratch folder that goes with it.
class Trial {
public:
    Trial(const std::string& name, const sim::LinkSettings& link, bool debugLog = false)
        : m_folder(std::filesystem::temp_directory_path() /
                   ("zolk-session-bench-" + std::to_string(::getpid()) + "-" + name)) {
        std::filesystem::remove_all(m_folder);
        m_pair = std::make_unique<sim::StationPair>(m_folder, link);
        if (debugLog) {
            for (const auto side : {sim::Side::A, sim::Side::B}) m_pair->station(side).station().sessionLog().setDebug(true);
        }
    }
    ~Trial() {
        m_pair.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    Trial(const Trial&) = delete;
    Trial& operator=(const Trial&) = delete;

    sim::StationPair& pair() { return *m_pair; }
    // Copies the stations' folders (settings, logs) to to.
    void keepAt(const std::filesystem::path& to) {
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::copy(m_folder, to, std::filesystem::copy_options::recursive |
                                                std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::filesystem::path m_folder;
    std::unique_ptr<sim::StationPair> m_pair;
};

// A mode's mean power on the air over that of a 10 dB-crest signal at the same drive level, by the
// transmitter's level rule (the same at every drive level), in dB.
inline double modeLevelDb(int mode) {
    constexpr std::int16_t kAnyDriveDb = 0;
    return 20.0 * std::log10(static_cast<double>(levelGain(modeRecord(mode).crestDb, kAnyDriveDb)) /
                             static_cast<double>(levelGain(10.0F, kAnyDriveDb)));
}

// A mode's own mean-power S/N when the path is stated as snrDb on the given scale.
inline double modeSnrDb(int mode, double snrDb, sim::SnrScale scale) {
    return scale == sim::SnrScale::StationPeak ? snrDb + modeLevelDb(mode) : snrDb;
}

// The fastest mode whose own mean-power S/N reaches its S/N threshold; -1 when none.
inline int fastestModeAt(double snrDb, sim::SnrScale scale) {
    int best = -1;
    for (int mode = 0; mode < kModeCount; ++mode) {
        const ModeRecord& r = modeRecord(mode);
        if (r.snrThreshold <= modeSnrDb(mode, snrDb, scale) && (best < 0 || r.throughput > modeRecord(best).throughput)) best = mode;
    }
    return best;
}

// Shannon capacity of 2500 Hz at snrDb, bit/s.
inline double shannonBps(double snrDb) { return 2500.0 * std::log2(1.0 + std::pow(10.0, snrDb / 10.0)); }

}  // namespace zolk::sessionbench
