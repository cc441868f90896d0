// control_bench: control frames through the channel model: detection and wrong codes against S/N
// for the wide-search call set and the connected set on clean and impaired channels, the fine
// offset error, false detections on noise alone, patterns of another call sign, and the CPU of
// listening. Writes control.md (tables) and control_curves.dat (gnuplot) into --out.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "control_rig.h"
#include "phy/common/call_sign.h"
#include "phy/common/tables_file.h"
#include "session/control_codes.h"
#include "sim/channel_model.h"
#include "tx_rig.h"

namespace zolk {
namespace {

using phytool::ControlRig;
using phytool::TxRig;

constexpr int kBlock = 256;
constexpr double kRate = 48000.0;

struct Options {
    int trials = 100;
    double snrFrom = -16.0, snrTo = -7.0, snrStep = 1.0;
    double noiseHours = 2.0;
    std::string out = "bench/results";
    // The detector's confirmation threshold ("off": the 19-hit rule alone).
    float confirm = ControlDetector::kConfirmationThreshold;
    bool confirmOff = false;
    // Sections to run (all by default) and channels of the detection table (substrings; all).
    std::string sections = "detection,fine,noise,other,cpu";
    std::vector<std::string> channels;
};

bool runs(const Options& o, const std::string& section) { return o.sections.find(section) != std::string::npos; }

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Setting {
    std::string name;
    ControlSearch search;
    sim::ChannelSettings channel;
};

struct Point {
    double snrDb = 0.0;
    int trials = 0, detected = 0, wrong = 0;
    double fineSquares = 0.0, fineWorst = 0.0;
    int fineCount = 0;
    std::vector<float> confirmations;  // of the right code's detections
};

class Bench {
public:
    Bench(const Options& o, const TablesFile& tables) : m_o(o), m_tx(tables, -5) {
        // Station B (EA4ZZZ) is called by A: both draw the link from B's call sign.
        m_linkSeed = callSeed("EA4ZZZ");
        buildPatterns(m_random, m_linkSeed, {m_linkSeed, callSeed("EA4ZZZ-1"), callSeed("EA4ZZZ-2"),
                                             callSeed("EA4ZZZ-3"), callSeed("EA4ZZZ-4")},
                      true, m_link);
        for (int code = 1; code <= kControlCodeCount; ++code) {
            std::vector<float> audio;
            m_tx.transmitControl(m_link, code, false, [&](std::span<const std::int16_t> s) {
                for (std::int16_t v : s) audio.push_back(v);
            });
            // The silent tail is only the playback queue's: keep 0.2 s of it.
            const std::size_t signal = static_cast<std::size_t>(kBlock + (8 + 31) * 1024);
            audio.resize(signal + 9600);
            m_power[code] = sim::onAirPower(audio);
            m_audio[code] = std::move(audio);
        }
    }

    // One trial per code drawn from set: 0.1..0.3 s of channel noise, the frame, 0.2 s more.
    // Detections at the end of the trial's frame count; any other code is a wrong code.
    Point measure(const Setting& s, const std::vector<std::uint8_t>& set, double snrDb, int trials,
                  std::uint64_t seedBase, FineOffsetMethod method = FineOffsetMethod::Interpolated) {
        Point p;
        p.snrDb = snrDb;
        std::mt19937_64 random(seedBase);
        ControlRig rig(m_link, set, s.search, nullptr);
        rig.detector().setFineOffsetMethod(method);
        rig.detector().setConfirmationThreshold(m_o.confirmOff ? -INFINITY : m_o.confirm);
        std::vector<ControlDetection> heard;
        for (int t = 0; t < trials; ++t) {
            const int code = set[random() % set.size()];
            sim::ChannelSettings c = s.channel;
            c.snrDb = snrDb;
            c.signalPower = m_power[code];
            c.seed = random();
            sim::ChannelModel channel(c);
            rig.frontEnd().setReceiveFrequencyOffsetHz(0.0f);
            rig.detector().clearRecord();
            heard.clear();
            rig.setSink([&](const ControlDetection& d, std::int64_t) { heard.push_back(d); });
            const std::size_t lead = kBlock * (19 + random() % 38);
            std::vector<float> audio(lead, 0.0f);
            audio.insert(audio.end(), m_audio[code].begin(), m_audio[code].end());
            audio.resize((audio.size() + kBlock - 1) / kBlock * kBlock, 0.0f);
            for (std::size_t b = 0; b < audio.size(); b += kBlock) {
                std::span<float, kBlock> block(audio.data() + b, kBlock);
                channel.process(block);
                rig.capture(block);
            }
            ++p.trials;
            bool right = false;
            for (const ControlDetection& d : heard) {
                if (d.code == code) {
                    if (!right) p.confirmations.push_back(d.confirmation);
                    right = true;
                    if (d.fineFound) {
                        const double error = d.fineOffsetHz - s.channel.offsetHz;
                        p.fineSquares += error * error;
                        p.fineWorst = std::max(p.fineWorst, std::abs(error));
                        ++p.fineCount;
                    }
                } else {
                    ++p.wrong;
                }
            }
            if (right) ++p.detected;
        }
        return p;
    }

    const ControlPatternTable& link() const { return m_link; }
    std::int32_t linkSeed() const { return m_linkSeed; }
    const std::vector<float>& audioOf(int code) const { return m_audio.at(code); }
    double powerOf(int code) const { return m_power.at(code); }

private:
    const Options& m_o;
    TxRig m_tx;
    RandomSource m_random;
    ControlPatternTable m_link;
    std::int32_t m_linkSeed = 0;
    std::map<int, std::vector<float>> m_audio;
    std::map<int, double> m_power;
};

// The S/N where the detection first reaches the fraction, interpolated between points.
std::string snrAt(const std::vector<Point>& points, double fraction) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double f = double(points[i].detected) / points[i].trials;
        if (f >= fraction) {
            if (i == 0) return "<= " + std::to_string(points[0].snrDb).substr(0, 5);
            const double f0 = double(points[i - 1].detected) / points[i - 1].trials;
            const double x = points[i - 1].snrDb + (fraction - f0) / (f - f0) * (points[i].snrDb - points[i - 1].snrDb);
            std::ostringstream os;
            os << std::fixed << std::setprecision(1) << x;
            return os.str();
        }
    }
    return "> " + std::to_string(points.back().snrDb).substr(0, 5);
}

int run(const Options& o) {
    const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
    if (!load.tables) {
        std::cerr << load.message << '\n';
        return 1;
    }
    Bench bench(o, *load.tables);
    std::filesystem::create_directories(o.out);
    std::ofstream md(o.out + "/control.md.body");
    std::ofstream dat(o.out + "/control_curves.dat");
    md << std::fixed;

    const std::vector<std::uint8_t> callSet = {static_cast<std::uint8_t>(ControlCode::Call1)};
    const ControlCodeSet linkCodes{ControlCode::Qrt, ControlCode::Break, ControlCode::Req0, ControlCode::Req1,
                                   ControlCode::Idle};
    const std::vector<std::uint8_t> linkSet(linkCodes.numbers().begin(), linkCodes.numbers().end());
    const sim::FadingSettings fading{.spreadHz = 1.0, .delayMs = 2.0};
    const std::vector<Setting> settings = {
        {"call set, wide, clean", ControlSearch::Wide, {}},
        {"call set, wide, +100 Hz", ControlSearch::Wide, {.offsetHz = 100.0}},
        {"call set, wide, +150 Hz", ControlSearch::Wide, {.offsetHz = 150.0}},
        {"call set, wide, -150 Hz", ControlSearch::Wide, {.offsetHz = -150.0}},
        {"call set, wide, 0.5 Hz/s drift", ControlSearch::Wide, {.driftHzPerS = 0.5}},
        {"call set, wide, 100 ppm clock", ControlSearch::Wide, {.clockPpm = 100.0}},
        {"call set, wide, fading 1 Hz 2 ms", ControlSearch::Wide, {.fading = fading}},
        {"link set, narrow, clean", ControlSearch::Narrow, {}},
        {"link set, narrow, 0.5 Hz/s drift", ControlSearch::Narrow, {.driftHzPerS = 0.5}},
        {"link set, narrow, 100 ppm clock", ControlSearch::Narrow, {.clockPpm = 100.0}},
        {"link set, narrow, fading 1 Hz 2 ms", ControlSearch::Narrow, {.fading = fading}},
    };

    const std::string threshold = o.confirmOff ? std::string("off") : std::to_string(o.confirm).substr(0, 5);
    md << "Confirmation threshold: " << threshold << " (mean power of the pattern's 31 tones over the mean power of the other tones of their bands).\n\n";
    if (runs(o, "detection")) {
    md << "## Detection against S/N\n\n" << o.trials
       << " control frames per point (a random code of the set each), each after 0.1 to 0.3 s of channel noise;"
          " detected = the sent code reported, wrong = another code reported. Call set: {Call1}, wide search;"
          " link set: {Qrt, Break, Req0, Req1, Idle}, narrow search.\n\n"
       << "| channel | 90 % at (dB) | 99 % at (dB) | wrong codes | fine offset RMS at the lowest S/N with 90 % (Hz) |\n"
       << "|---|---|---|---|---|\n";
    std::ostringstream detail;
    detail << "\n## Points\n\n| channel | S/N (dB) | detected | wrong | fine RMS (Hz) | fine worst (Hz) |\n|---|---|---|---|---|---|\n";
    std::uint64_t seed = 1;
    std::ostringstream confirmTable;
    confirmTable << std::fixed;
    confirmTable << "\n## Confirmation statistic of detected frames\n\nThe right code's first report per frame, at each"
                    " point where 1 to 99 % of the frames were detected: how many, the smallest statistic, its 1 %, 5 % and"
                    " 50 % points.\n\n| channel | S/N (dB) | detected | min | 1 % | 5 % | median |\n|---|---|---|---|---|---|---|\n";
    for (const Setting& s : settings) {
        if (!o.channels.empty() &&
            std::none_of(o.channels.begin(), o.channels.end(), [&](const std::string& c) { return s.name.find(c) != std::string::npos; })) {
            continue;
        }
        const auto& set = s.search == ControlSearch::Wide ? callSet : linkSet;
        std::vector<Point> points;
        dat << '"' << s.name << "\"\n";
        int wrong = 0;
        std::string fineAt90 = "-";
        for (double snr = o.snrFrom; snr <= o.snrTo + 1e-9; snr += o.snrStep) {
            Point p = bench.measure(s, set, snr, o.trials, seed++);
            if (p.detected > 0 && p.detected < p.trials) {
                std::sort(p.confirmations.begin(), p.confirmations.end());
                const auto at = [&](double f) { return p.confirmations[static_cast<std::size_t>(f * (p.confirmations.size() - 1))]; };
                confirmTable << "| " << s.name << " | " << std::setprecision(1) << snr << " | " << p.detected << " | "
                             << std::setprecision(2) << at(0.0) << " | " << at(0.01) << " | " << at(0.05) << " | " << at(0.5) << " |\n";
            }
            points.push_back(p);
            wrong += p.wrong;
            const double rms = p.fineCount ? std::sqrt(p.fineSquares / p.fineCount) : 0.0;
            if (fineAt90 == "-" && p.detected >= 0.9 * p.trials) {
                std::ostringstream os;
                os << std::setprecision(2) << std::fixed << rms;
                fineAt90 = os.str();
            }
            dat << snr << ' ' << 100.0 * p.detected / p.trials << '\n';
            detail << "| " << s.name << " | " << std::setprecision(1) << snr << " | " << p.detected << '/' << p.trials
                   << " | " << p.wrong << " | " << std::setprecision(2) << rms << " | " << p.fineWorst << " |\n";
            std::cerr << s.name << ' ' << snr << " dB: " << p.detected << '/' << p.trials << '\n';
        }
        dat << "\n\n";
        md << "| " << s.name << " | " << snrAt(points, 0.9) << " | " << snrAt(points, 0.99) << " | " << wrong << " | "
           << fineAt90 << " |\n";
    }

    md << detail.str() << confirmTable.str();
    }

    // The fine offset at random offsets, both readings of the quarter-bin spectrum on the same trials.
    if (runs(o, "fine")) {
    md << "\n## Fine offset error\n\nCall set, wide search, " << o.trials
       << " frames per point at an offset drawn from -150..+150 Hz per point; error = estimate minus the true offset.\n\n"
       << "| S/N (dB) | quarter-bin RMS (Hz) | quarter-bin worst (Hz) | interpolated RMS (Hz) | interpolated worst (Hz) |\n|---|---|---|---|---|\n";
    std::mt19937_64 offsets(99);
    for (double snr : {-11.0, -8.0, -5.0, 0.0, 10.0}) {
        double rms[2], worst[2];
        const double offset = std::uniform_real_distribution<double>(-150.0, 150.0)(offsets);
        for (int m = 0; m < 2; ++m) {
            const Setting s{"fine", ControlSearch::Wide, {.offsetHz = offset}};
            double squares = 0.0, w = 0.0;
            int count = 0;
            // The same channels and codes for both readings (same seed).
            const Point p = bench.measure(s, callSet, snr, o.trials, 5000 + static_cast<std::uint64_t>(snr * 10),
                                          m == 0 ? FineOffsetMethod::QuarterBin : FineOffsetMethod::Interpolated);
            squares = p.fineSquares;
            count = p.fineCount;
            w = p.fineWorst;
            rms[m] = count ? std::sqrt(squares / count) : 0.0;
            worst[m] = w;
        }
        md << "| " << std::setprecision(1) << snr << " (offset " << offset << " Hz) | " << std::setprecision(2) << rms[0]
           << " | " << worst[0] << " | " << rms[1] << " | " << worst[1] << " |\n";
    }
    }

    // Noise alone into the largest idle set: five Call codes of five own call signs, wide search.
    if (runs(o, "noise")) {
        RandomSource random;
        ControlPatternTable idle;
        buildPatterns(random, 0,
                      {callSeed("EA4ZZZ"), callSeed("EA4ZZZ-1"), callSeed("EA4ZZZ-2"), callSeed("EA4ZZZ-3"),
                       callSeed("EA4ZZZ-4")},
                      false, idle);
        int falseCalls = 0;
        ControlRig rig(idle, {22, 23, 24, 25, 26}, ControlSearch::Wide,
                       [&](const ControlDetection&, std::int64_t) { ++falseCalls; });
        rig.detector().setCountAllHits(true);
        rig.detector().setConfirmationThreshold(o.confirmOff ? -INFINITY : o.confirm);
        std::map<int, std::vector<float>> candidates;  // confirmation statistics by hit count
        std::map<int, std::int64_t> histogram;
        sim::ChannelModel noise({.snrDb = 0.0, .signalPower = 1.0e6, .seed = 4242});
        const std::int64_t blocks = static_cast<std::int64_t>(o.noiseHours * 3600.0 * kRate / kBlock);
        std::array<float, kBlock> block{};
        const double start = cpuSeconds();
        int worstHits = 0;
        for (std::int64_t b = 0; b < blocks; ++b) {
            block.fill(0.0f);
            noise.process(std::span<float, kBlock>(block));
            const std::int64_t runsBefore = rig.runs();
            rig.capture(block);
            if (rig.runs() != runsBefore) {
                ++histogram[rig.detector().lastRun().mostHits];
                for (const auto& c : rig.detector().lastRun().candidates) candidates[c.hits].push_back(c.confirmation);
            }
            worstHits = std::max(worstHits, rig.detector().lastRun().mostHits);
        }
        const double cpu = cpuSeconds() - start;
        md << "\n## False calls on noise alone\n\n" << std::setprecision(1) << o.noiseHours
           << " hours of white noise (sigma " << std::sqrt(sim::noiseVariance(1.0e6, 0.0)) << " in 16-bit scale) into the idle"
           << " station's set {Call1..Call5} of five own call signs, wide search (15 offsets), one run per spectrogram"
           << " row: " << falseCalls << " false call(s), " << std::setprecision(3)
           << falseCalls / o.noiseHours << " per hour";
        if (falseCalls == 0) md << " (95 % upper bound " << 3.0 / o.noiseHours << " per hour, " << 3.0 * 168 / o.noiseHours << " per week)";
        md << ". Most hits any code and offset reached in any run: " << worstHits << " of 31 (19 report). "
           << "Runs by their largest hit count over the 75 code/offset pairs:\n\n| most hits | runs |\n|---|---|\n";
        for (const auto& [hits, runs] : histogram) md << "| " << hits << " | " << runs << " |\n";
        // The tail falls off geometrically: a straight line through log(runs) of the counts from 12
        // hits on (bins with at least 3 runs) carried on to 19 and above estimates the false-call rate
        // that the hours run cannot count.
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const auto& [hits, runs] : histogram) {
            if (hits < 12 || runs < 3) continue;
            const double x = hits, y = std::log(static_cast<double>(runs));
            n += 1, sx += x, sy += y, sxx += x * x, sxy += x * y;
        }
        if (n >= 3) {
            const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
            const double at = (sy - slope * sx) / n;
            double expected = 0.0;
            for (int h = kControlHitsNeeded; h <= kControlSymbols; ++h) expected += std::exp(at + slope * h);
            // Runs are one per row; a frame-like excursion spans a few rows, so this counts runs, and
            // a false call is reported once per excursion: an upper estimate.
            md << "\nExtrapolated from the tail (log runs = " << std::setprecision(2) << at << " " << slope
               << " x hits, " << n << " bins): " << std::setprecision(3) << expected / o.noiseHours
               << " runs per hour at 19 hits or more, " << expected / o.noiseHours * 168.0 << " per week.\n";
        }
        // The confirmation statistic of noise candidates (every code/offset of a run with 13 hits or
        // more; neighbouring rows see much the same candidate, so these are not independent).
        const std::vector<float> limits = {1.5f, 2.0f, 2.25f, 2.5f, 2.75f, 3.0f, 3.5f};
        md << "\nConfirmation statistic of noise candidates (code/offset pairs of a run with 13 hits or more):\n\n"
           << "| hits | candidates | mean | sd | max |";
        for (float l : limits) md << " >= " << std::setprecision(2) << l << " |";
        md << "\n|---|---|---|---|---|";
        for (std::size_t i = 0; i < limits.size(); ++i) md << "---|";
        md << "\n";
        for (auto& [hits, values] : candidates) {
            double m = 0, q = 0;
            for (float v : values) m += v, q += double(v) * v;
            m /= values.size();
            const double sd = std::sqrt(std::max(0.0, q / values.size() - m * m));
            md << "| " << hits << " | " << values.size() << " | " << std::setprecision(2) << m << " | " << sd << " | "
               << *std::max_element(values.begin(), values.end()) << " |";
            for (float l : limits) md << " " << std::count_if(values.begin(), values.end(), [&](float v) { return v >= l; }) << " |";
            md << "\n";
        }
        md << "\nCPU for this noise run (channel noise included): " << std::setprecision(1) << cpu << " s, "
           << std::setprecision(0) << o.noiseHours * 3600.0 / cpu << " times real time.\n";
    }

    // Frames of another call sign's link: a station listening for all 26 codes of its own drawing.
    if (runs(o, "other")) {
        RandomSource random;
        ControlPatternTable other;
        const std::int32_t otherSeed = callSeed("G4AAA");
        buildPatterns(random, otherSeed, {otherSeed, 0, 0, 0, 0}, true, other);
        std::vector<std::uint8_t> all;
        for (int c = 1; c <= kControlCodeCount; ++c) all.push_back(static_cast<std::uint8_t>(c));
        int reports = 0, frames = 0;
        for (ControlSearch search : {ControlSearch::Wide, ControlSearch::Narrow}) {
            ControlRig rig(other, all, search, [&](const ControlDetection&, std::int64_t) { ++reports; });
            rig.detector().setCountAllHits(true);
            int most = 0;
            for (int rep = 0; rep < 4; ++rep) {
                for (int code = 1; code <= kControlCodeCount; ++code) {
                    sim::ChannelModel channel({.snrDb = 10.0, .signalPower = bench.powerOf(code),
                                               .seed = static_cast<std::uint64_t>(rep * 100 + code)});
                    std::vector<float> audio = bench.audioOf(code);
                    audio.resize((audio.size() + kBlock - 1) / kBlock * kBlock, 0.0f);
                    for (std::size_t b = 0; b < audio.size(); b += kBlock) {
                        std::span<float, kBlock> block(audio.data() + b, kBlock);
                        channel.process(block);
                        rig.capture(block);
                        most = std::max(most, rig.detector().lastRun().mostHits);
                    }
                    ++frames;
                }
            }
            md << (search == ControlSearch::Wide ? "\n## Another call sign's patterns\n\n" : "")
               << "Every one of the 26 codes of the link with EA4ZZZ, 4 times at +10 dB, into a station holding the"
               << " drawing of a link with G4AAA and listening for all 26 codes, "
               << (search == ControlSearch::Wide ? "wide" : "narrow") << " search: most hits of any code " << most
               << " of 31.\n\n";
        }
        md << "Reports: " << reports << " in " << frames << " frames.\n";
    }

    // CPU of listening, per second of audio, front-end included; noise input.
    if (runs(o, "cpu")) {
        md << "\n## CPU of listening\n\nCPU seconds per second of noise audio, front-end included (a station's"
              " receive path without frame search):\n\n| listening | CPU s per s |\n|---|---|\n";
        struct Case {
            const char* name;
            std::vector<std::uint8_t> codes;
            ControlSearch search;
            bool everyTick;
        };
        const std::vector<Case> cases = {
            {"front-end only (empty set)", {}, ControlSearch::Wide, false},
            {"idle: {Call1..Call5}, wide, every row", {22, 23, 24, 25, 26}, ControlSearch::Wide, false},
            {"TurnRequested: {Qrt, Req0, Req1, TurnAck, Idle}, narrow, every tick", {3, 12, 13, 14, 20},
             ControlSearch::Narrow, true},
        };
        std::vector<float> noise(static_cast<std::size_t>(60 * kRate));
        sim::ChannelModel channel({.snrDb = 0.0, .signalPower = 1.0e6, .seed = 7});
        channel.process(std::span<float>(noise));
        for (const Case& c : cases) {
            ControlRig rig(bench.link(), c.codes, c.search, nullptr, c.everyTick);
            const double start = cpuSeconds();
            for (std::size_t b = 0; b + kBlock <= noise.size(); b += kBlock) {
                rig.capture(std::span<const float, kBlock>(noise.data() + b, kBlock));
            }
            md << "| " << c.name << " | " << std::setprecision(5) << (cpuSeconds() - start) / 60.0 << " |\n";
        }
    }
    md.close();
    return 0;
}

}  // namespace
}  // namespace zolk

int main(int argc, char** argv) {
    zolk::Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--trials") o.trials = std::stoi(value);
        else if (name == "--noise-hours") o.noiseHours = std::stod(value);
        else if (name == "--snr") std::sscanf(value.c_str(), "%lf:%lf:%lf", &o.snrFrom, &o.snrTo, &o.snrStep);
        else if (name == "--out") o.out = value;
        else if (name == "--confirm") {
            o.confirmOff = value == "off";
            if (!o.confirmOff) o.confirm = std::stof(value);
        } else if (name == "--sections") o.sections = value;
        else if (name == "--channels") {
            std::stringstream list(value);
            for (std::string c; std::getline(list, c, ',');) o.channels.push_back(c);
        }
        else {
            std::cerr << "usage: control_bench [--trials N] [--snr FROM:TO:STEP] [--noise-hours H] [--out DIR] [--confirm T|off]\n"
                         "       [--sections detection,fine,noise,other,cpu] [--channels SUBSTRING,...]\n";
            return 2;
        }
    }
    return zolk::run(o);
}
