#include "reading.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <stdexcept>

#include "bench_common.h"
#include "phy/common/tables_file.h"
#include "phy_trial.h"
#include "sim/air_path.h"

namespace zolk::sessionbench {
namespace {

constexpr int kFrames = 8;
constexpr double kAboveThresholdDb = 3.0;  // own S/N of the frames: every one decodes

double dB(double ratio) { return 10.0 * std::log10(ratio); }

}  // namespace

void runReading(const std::filesystem::path& out) {
    const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
    if (load.error != TablesFileError::None) throw std::runtime_error(load.message);
    const double peak = sim::stationPeakAmplitude(phytool::kTrialDriveLevelDb);
    const double referencePower = peak * peak / 10.0;  // a 10 dB-crest signal at that peak

    std::ofstream md(out / "session_reading.md.part");
    md << std::fixed << std::setprecision(1)
       << "## The receiver's S/N reading against the truth\n\n"
       << "One frame per transmission of each mode through the channel model at its SnrThreshold + " << kAboveThresholdDb
       << " dB against its own mean power, " << kFrames << " transmissions, drive level " << phytool::kTrialDriveLevelDb
       << " dB, read by a receiving station. Level: the mode's mean power on the air over that of a 10 dB-crest signal at "
          "the sender's peak level, by the level rule and measured. Reading: the mean of the receiver's reading over the "
          "decoded frames (its estimate less the level offset it assumes for the mode, 0.8 (10 - CrestDb) dB). Truth on the mean scale: the own S/N; on the modem's scale "
          "(fixed floor): the S/N of a 10 dB-crest signal at the sender's peak, own S/N - measured level. Error: reading - truth.\n\n"
       << "| mode | CrestDb | level by rule dB | level measured dB | own S/N dB | decoded | reading dB | error, mean scale dB | "
          "truth, modem scale dB | error, modem scale dB |\n|---|---|---|---|---|---|---|---|---|---|\n";
    for (int mode = 0; mode < kModeCount; ++mode) {
        phytool::PhyTrial trial(*load.tables, mode);
        const double ownSnrDb = modeRecord(mode).snrThreshold + kAboveThresholdDb;
        double readingSum = 0.0;
        double powerSum = 0.0;
        int decoded = 0;
        for (int k = 0; k < kFrames; ++k) {
            const auto seed = static_cast<std::uint64_t>(1000 * mode + k + 1);
            const phytool::PhyTrialResult r = trial.run({.snrDb = ownSnrDb, .seed = seed}, seed);
            powerSum += r.onAirPower;
            if (!r.snrEstimateDb) continue;
            readingSum += *r.snrEstimateDb;
            ++decoded;
        }
        const double measuredLevelDb = dB(powerSum / kFrames / referencePower);
        const double modemTruthDb = ownSnrDb - measuredLevelDb;
        md << "| " << mode << " | " << modeRecord(mode).crestDb << " | " << modeLevelDb(mode) << " | " << measuredLevelDb
           << " | " << ownSnrDb << " | " << decoded << "/" << kFrames << " | ";
        if (decoded > 0) {
            const double reading = readingSum / decoded;
            md << reading << " | " << reading - ownSnrDb << " | " << modemTruthDb << " | " << reading - modemTruthDb << " |\n";
        } else {
            md << "- | - | " << modemTruthDb << " | - |\n";
        }
        md << std::flush;
        std::cerr << "reading mode " << mode << " done\n";
    }
}

}  // namespace zolk::sessionbench
