// phy_bench: frame success against S/N for every mode on eight channels (clean, +15 and +-20 Hz,
// 0.5 and 1 Hz/s drift, 100 ppm clock offset, fading), the S/N where each mode reaches 90 %, its
// distance from the Shannon limit, the receiver's S/N estimate bias, CPU and memory per mode, and
// codec2's raw-data modes through the same channel in the same run; beside them the 90 % points of
// an earlier receiver read from --previous (a phy_points.tsv of an earlier run). Writes phy.md,
// phy_points.tsv and phy_curves.dat (the plot's data) into --out, and with --thresholds the
// measured-thresholds table of the receiving side's speed adaptation (with --thresholds-only
// nothing else: only our modes' clean curves are measured).
#include <sys/resource.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "curve.h"
#include "our_modem.h"
#include "phy/common/mode_index.h"
#include "phy/common/mode_table.h"
#include "reference_modem.h"
#include "thresholds_table.h"

namespace zolk::bench {
namespace {

struct Condition {
    const char* name;
    sim::ChannelSettings channel;
};

const std::array kConditions{
    Condition{"AWGN", {}},
    Condition{"+15 Hz", {.offsetHz = 15.0}},
    Condition{"+20 Hz", {.offsetHz = 20.0}},
    Condition{"-20 Hz", {.offsetHz = -20.0}},
    Condition{"0.5 Hz/s", {.driftHzPerS = 0.5}},
    Condition{"1 Hz/s", {.driftHzPerS = 1.0}},
    Condition{"100 ppm", {.clockPpm = 100.0}},
    Condition{"fading 1 Hz 2 ms", {.fading = sim::FadingSettings{.spreadHz = 1.0, .delayMs = 2.0}}},
};

struct Options {
    int frames = 20;          // per point on the clean channel
    int impairedFrames = 10;  // per point on the other channels
    double stepDb = 0.5;          // on the clean channel
    double impairedStepDb = 1.0;  // on the others
    std::vector<ModeIndex> modes;
    bool references = true;
    std::filesystem::path out = "bench/results";
    std::filesystem::path previous = "bench/results/phy_previous_receiver.tsv";
    std::optional<ModeIndex> costMode;  // child process: measure one mode's CPU and memory
    std::optional<std::filesystem::path> thresholds;  // where to write the measured-thresholds table
    std::string provenance = "not recorded";          // the receiver measured, for the table's header
    bool thresholdsOnly = false;
};

struct Row {
    std::string name;
    double bitRate = 0.0;
    std::optional<double> threshold = std::nullopt;  // ours only
    double crestAdjustmentDb = 0.0;  // ours: what the receiver subtracts from its estimate
    std::array<Curve, kConditions.size()> curves{};
    std::optional<Cost> cost = std::nullopt;
};

std::string dB(std::optional<double> value, bool sign = false) {
    if (!value) return "—";
    std::ostringstream os;
    os << std::fixed << std::setprecision(1) << (sign && *value > 0 ? "+" : "") << *value;
    return os.str();
}

std::optional<double> bias(const Curve& curve) {
    double sum = 0.0;
    int count = 0;
    for (const auto& p : curve.points) {
        sum += p.estimateErrorSum;
        count += p.estimates;
    }
    if (count == 0) return std::nullopt;
    return sum / count;
}

// Runs this program again as a child for one mode's cost, so its peak memory is its own.
std::optional<Cost> costInChild(int mode) {
    const std::string command = std::filesystem::read_symlink("/proc/self/exe").string() + " --cost " + std::to_string(mode);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    Cost c;
    const int fields = std::fscanf(pipe, "%lf %lf %lf", &c.txCpuPerSecond, &c.rxCpuPerSecond, &c.peakMemoryMb);
    ::pclose(pipe);
    if (fields != 3) return std::nullopt;
    return c;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
            return argv[++i];
        };
        if (name == "--frames") {
            o.frames = std::stoi(value());
        } else if (name == "--impaired-frames") {
            o.impairedFrames = std::stoi(value());
        } else if (name == "--step") {
            o.stepDb = std::stod(value());
        } else if (name == "--impaired-step") {
            o.impairedStepDb = std::stod(value());
        } else if (name == "--modes") {
            std::stringstream list(value());
            for (std::string m; std::getline(list, m, ',');) o.modes.push_back(ModeIndex(std::stoi(m)));
        } else if (name == "--no-reference") {
            o.references = false;
        } else if (name == "--out") {
            o.out = value();
        } else if (name == "--previous") {
            o.previous = value();
        } else if (name == "--cost") {
            o.costMode = ModeIndex(std::stoi(value()));
        } else if (name == "--thresholds") {
            o.thresholds = value();
        } else if (name == "--provenance") {
            o.provenance = value();
        } else if (name == "--thresholds-only") {
            o.thresholdsOnly = true;
        } else {
            throw std::invalid_argument("unknown option " + name);
        }
    }
    if (o.frames < 1 || o.impairedFrames < 1 || !(o.stepDb > 0.0) || !(o.impairedStepDb > 0.0)) {
        throw std::invalid_argument("frames and step must be positive");
    }
    if (o.thresholdsOnly && (!o.thresholds || !o.modes.empty())) {
        throw std::invalid_argument("--thresholds-only needs --thresholds PATH and every mode (no --modes)");
    }
    if (o.modes.empty() && !o.costMode) {
        for (int m = 0; m < kModeCount; ++m) o.modes.push_back(ModeIndex(m));
    }
    return o;
}

// The table run measures the clean channel only, and only down to the 90 % point.
void measureRow(Row& row, ModemUnderTest& modem, double startDb, const Options& o, std::uint64_t id) {
    const std::size_t conditions = o.thresholdsOnly ? 1 : kConditions.size();
    for (std::size_t c = 0; c < conditions; ++c) {
        const bool clean = c == 0;
        CurveSearch search{.startDb = clean ? startDb : row.curves[0].snr90Db.value_or(startDb),
                           .stepDb = clean ? o.stepDb : o.impairedStepDb,
                           .frames = clean ? o.frames : o.impairedFrames,
                           .wholeFall = clean && !o.thresholdsOnly,
                           .seed = phytool::trialSeed(20261210, id, c, 0)};
        row.curves[c] = measureCurve(modem, kConditions[c].channel, search);
        std::cerr << row.name << " on " << kConditions[c].name << ": 90 % at " << dB(row.curves[c].snr90Db)
                  << " dB (" << std::fixed << std::setprecision(0) << row.curves[c].trialCpuSeconds << " s CPU)\n";
    }
}

// The least S/N in 2500 Hz at which a channel carries the bit rate: 2500 log2(1 + S/N) = rate.
double shannonLimitDb(double bitRate) { return 10.0 * std::log10(std::exp2(bitRate / 2500.0) - 1.0); }

// 90 % points of an earlier receiver: one line per modem and channel, "name<TAB>channel<TAB>dB"
// ("—" where it never reached 90 %); lines starting with # are comments.
using PreviousPoints = std::map<std::pair<std::string, std::string>, std::optional<double>>;

PreviousPoints readPrevious(const std::filesystem::path& file) {
    PreviousPoints points;
    std::ifstream in(file);
    if (!in) throw std::invalid_argument("cannot read the earlier receiver's points " + file.string());
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream fields(line);
        std::string name, channel, value;
        if (!std::getline(fields, name, '\t') || !std::getline(fields, channel, '\t') || !std::getline(fields, value)) {
            throw std::invalid_argument(file.string() + ": a line without three tab-separated fields: " + line);
        }
        points[{name, channel}] = value == "—" ? std::nullopt : std::optional<double>(std::stod(value));
    }
    return points;
}

void writeReport(const std::vector<Row>& ours, const std::vector<Row>& references, const Options& o) {
    std::filesystem::create_directories(o.out);
    std::ofstream md(o.out / "phy.md");
    md << "## S/N where frame success first reaches 90 %\n\n"
       << "S/N in dB in 2500 Hz (Ps over the on-air part, N0 = sigma^2 / 24000); " << o.frames
       << " transmissions per point in steps of " << o.stepDb << " dB on the clean channel, " << o.impairedFrames
       << " in steps of " << o.impairedStepDb << " dB on the others, each transmission heard by a fresh receiver "
       << "(a first frame: no frequency learnt before). Diff: measured minus SnrThreshold "
       << "(positive: worse than the mode's design threshold). Shannon gap: the AWGN point minus the least S/N at "
       << "which 2500 Hz carries the net bit rate. Impaired channels: the 90 % point and, in brackets, its loss "
       << "against the mode's own AWGN point. Bias: mean of the receiver's S/N estimate minus the true S/N over the "
       << "decoded frames of the clean curve; raw bias: the same before the receiver subtracts its per-mode level "
       << "correction, 0.8 (10 - CrestDb), from its estimate.\n\n";
    md << "| modem | net bit/s | SnrThreshold | AWGN | diff | Shannon gap |";
    for (std::size_t c = 1; c < kConditions.size(); ++c) md << ' ' << kConditions[c].name << " |";
    md << " estimate bias | raw bias |\n|---|---:|---:|---:|---:|---:|";
    for (std::size_t c = 1; c < kConditions.size(); ++c) md << "---:|";
    md << "---:|---:|\n";
    const auto line = [&](const Row& r) {
        const auto& clean = r.curves[0].snr90Db;
        std::optional<double> diff, gap;
        if (r.threshold && clean) diff = *clean - *r.threshold;
        if (clean) gap = *clean - shannonLimitDb(r.bitRate);
        md << "| " << r.name << " | " << std::fixed << std::setprecision(0) << r.bitRate << " | " << dB(r.threshold)
           << " | " << dB(clean) << " | " << dB(diff, true) << " | " << dB(gap) << " |";
        for (std::size_t c = 1; c < kConditions.size(); ++c) {
            const auto& point = r.curves[c].snr90Db;
            md << ' ' << dB(point);
            if (point && clean) md << " (" << dB(*point - *clean, true) << ')';
            md << " |";
        }
        const auto b = bias(r.curves[0]);
        std::optional<double> raw;
        if (b && r.threshold) raw = *b + r.crestAdjustmentDb;
        md << ' ' << dB(b, true) << " | " << dB(raw, true) << " |\n";
    };
    for (const auto& r : ours) line(r);
    for (const auto& r : references) line(r);

    const PreviousPoints previous = readPrevious(o.previous);
    if (!previous.empty()) {
        md << "\n## Against the earlier receiver\n\n"
           << "90 % points of the receiver before the December 2026 receive-side work (from `" << o.previous.string()
           << "`) and now, as before -> now (gain: positive where the new receiver needs less S/N). "
           << "Channels the earlier run did not measure are left out.\n\n| modem |";
        std::vector<std::size_t> shared;
        for (std::size_t c = 0; c < kConditions.size(); ++c) {
            for (const auto& [key, value] : previous) {
                if (key.second == kConditions[c].name) {
                    shared.push_back(c);
                    break;
                }
            }
        }
        for (const std::size_t c : shared) md << ' ' << kConditions[c].name << " |";
        md << "\n|---|";
        for (std::size_t i = 0; i < shared.size(); ++i) md << "---:|";
        md << '\n';
        for (const auto* rows : {&ours, &references}) {
            for (const auto& r : *rows) {
                md << "| " << r.name << " |";
                for (const std::size_t c : shared) {
                    const auto found = previous.find({r.name, kConditions[c].name});
                    const std::optional<double> before = found == previous.end() ? std::nullopt : found->second;
                    const auto& now = r.curves[c].snr90Db;
                    md << ' ' << dB(before) << " -> " << dB(now);
                    if (before && now) md << " (" << dB(*before - *now, true) << ')';
                    md << " |";
                }
                md << '\n';
            }
        }
    }

    md << "\n## Against the reference (clean channel)\n\n"
       << "Each reference mode against our fastest mode that carries at least its bit rate and reaches 90 % at "
          "its S/N or lower (the goal), and against our mode nearest in bit rate at or above it.\n\n"
       << "| reference | bit/s | 90 % S/N | our fastest mode at >= its rate and <= its S/N | nearest of ours at >= its rate | its 90 % S/N | margin |\n"
       << "|---|---:|---:|---|---|---:|---:|\n";
    for (const auto& ref : references) {
        const Row* fastest = nullptr;
        const Row* nearest = nullptr;
        for (const auto& r : ours) {
            if (r.bitRate < ref.bitRate) continue;
            if (nearest == nullptr || r.bitRate < nearest->bitRate) nearest = &r;
            if (!r.curves[0].snr90Db || !ref.curves[0].snr90Db || *r.curves[0].snr90Db > *ref.curves[0].snr90Db) continue;
            if (fastest == nullptr || r.bitRate > fastest->bitRate) fastest = &r;
        }
        std::optional<double> margin;
        if (nearest != nullptr && nearest->curves[0].snr90Db && ref.curves[0].snr90Db) {
            margin = *ref.curves[0].snr90Db - *nearest->curves[0].snr90Db;
        }
        md << "| " << ref.name << " | " << std::fixed << std::setprecision(0) << ref.bitRate << " | "
           << dB(ref.curves[0].snr90Db) << " | "
           << (fastest ? fastest->name + " (" + std::to_string(static_cast<int>(fastest->bitRate)) + " bit/s, " + dB(fastest->curves[0].snr90Db) + " dB)" : "none")
           << " | " << (nearest ? nearest->name + " (" + std::to_string(static_cast<int>(nearest->bitRate)) + " bit/s)" : "none")
           << " | " << dB(nearest ? nearest->curves[0].snr90Db : std::nullopt) << " | " << dB(margin, true) << " |\n";
    }
    md << "\nMargin: the reference's 90 % S/N minus ours (positive: ours needs less S/N at a higher bit rate). "
          "codec2 quotes its own S/N estimate in 3000 Hz, which alone reads 0.8 dB below ours in 2500 Hz.\n";

    md << "\n## Cost per mode\n\nCPU seconds per second of audio (one core), peak resident memory of a process "
          "that transmits and receives that mode.\n\n| mode | CPU s per s transmitted | CPU s per s received | peak memory MB |\n|---|---:|---:|---:|\n";
    for (const auto& r : ours) {
        md << "| " << r.name << " | ";
        if (r.cost) {
            md << std::fixed << std::setprecision(4) << r.cost->txCpuPerSecond << " | " << r.cost->rxCpuPerSecond << " | "
               << std::setprecision(1) << r.cost->peakMemoryMb << " |\n";
        } else {
            md << "— | — | — |\n";
        }
    }

    // This run's 90 % points in the form --previous reads, to compare a later receiver against.
    std::ofstream points(o.out / "phy_points.tsv");
    points << "# modem\tchannel\t90 % point in dB in 2500 Hz\n";
    for (const auto* rows : {&ours, &references}) {
        for (const auto& r : *rows) {
            for (std::size_t c = 0; c < kConditions.size(); ++c) {
                points << r.name << '\t' << kConditions[c].name << '\t' << dB(r.curves[c].snr90Db) << '\n';
            }
        }
    }

    // One block per curve of the clean channel: S/N, success in percent.
    std::ofstream dat(o.out / "phy_curves.dat");
    for (const auto* rows : {&ours, &references}) {
        for (const auto& r : *rows) {
            dat << "\"" << r.name << "\"\n";
            for (const auto& p : r.curves[0].points) dat << p.snrDb << ' ' << 100.0 * p.ok / p.frames << '\n';
            dat << "\n\n";
        }
    }
}

int run(const Options& o) {
    if (o.costMode) {
        const Cost c = measureCost(*o.costMode);
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        std::printf("%.6f %.6f %.1f\n", c.txCpuPerSecond, c.rxCpuPerSecond, static_cast<double>(usage.ru_maxrss) / 1024.0);
        return 0;
    }
    std::vector<Row> ours;
    for (const int m : o.modes) {
        OurModem modem(m);
        Row row{.name = modem.name(),
                .bitRate = modem.bitRate(),
                .threshold = modeRecord(m).snrThreshold,
                .crestAdjustmentDb = crestLevelOffsetDb(modeRecord(m).crestDb)};
        measureRow(row, modem, std::round(modeRecord(m).snrThreshold), o,
                   static_cast<std::uint64_t>(m));
        if (!o.thresholdsOnly) row.cost = costInChild(m);
        ours.push_back(std::move(row));
    }
    if (o.thresholds) {
        ThresholdsTableSource table{
            .snr90Db = {}, .frames = o.frames, .stepDb = o.stepDb, .provenance = o.provenance};
        // The table is indexed by mode: only a run over every mode in order fills it.
        for (std::size_t i = 0; i < ours.size(); ++i) {
            if (static_cast<int>(o.modes[i]) == static_cast<int>(i)) {
                table.snr90Db.push_back(ours[i].curves[0].snr90Db);
            }
        }
        if (o.thresholdsOnly) {
            writeThresholdsTable(*o.thresholds, table);
            std::cerr << "wrote " << o.thresholds->string() << '\n';
            return 0;
        }
        // A whole run still writes its report when the table cannot be written.
        try {
            writeThresholdsTable(*o.thresholds, table);
            std::cerr << "wrote " << o.thresholds->string() << '\n';
        } catch (const std::runtime_error& e) {
            std::cerr << "phy_bench: " << e.what() << '\n';
        }
    }
    std::vector<Row> references;
    if (o.references) {
        std::uint64_t id = 100;
        for (const auto& mode : referenceModes()) {
            ReferenceModem modem(mode);
            Row row{.name = modem.name(), .bitRate = modem.bitRate()};
            measureRow(row, modem, 0.0, o, id++);
            references.push_back(std::move(row));
        }
    }
    writeReport(ours, references, o);
    return 0;
}

}  // namespace
}  // namespace zolk::bench

int main(int argc, char** argv) {
    try {
        return zolk::bench::run(zolk::bench::parse(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "phy_bench: " << e.what() << '\n';
        return 2;
    }
}
