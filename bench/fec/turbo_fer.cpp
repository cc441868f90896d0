// turbo_fer: frame error rate of each mode's turbo code alone, on BPSK over white noise with
// exact log-likelihood ratios, so the decoder is measured apart from any demodulator.
// Usage: turbo_fer [--tables FILE] [--modes 0,3,5] [--ebn0 FROM:TO:STEP] [--frames N] [--seed S]
//
// Eb/N0 counts the energy per information bit (InfoBits over CodedBits of the frame). For each
// mode a row of frame error rates over the grid, then the Eb/N0 at which 90 % of the frames
// decode (linear interpolation between grid points, "-" if never), and the mean number of
// half-iterations the decoder ran before it stopped.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/fec/mode_fec.h"
#include "phy/fec/turbo_encoder.h"

namespace {

struct Options {
    std::string tablesPath = "data/ZOLKSAT.dat";
    std::vector<int> modes{0, 3, 5, 8, 10, 13};
    double from = 0.0;
    double to = 3.0;
    double step = 0.25;
    int frames = 200;
    unsigned seed = 1;
};

bool parseGrid(const char* text, Options& o) {
    return std::sscanf(text, "%lf:%lf:%lf", &o.from, &o.to, &o.step) == 3 && o.step > 0.0 &&
           o.to >= o.from;
}

bool parseModes(const char* text, Options& o) {
    o.modes.clear();
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        char* end = nullptr;
        const long m = std::strtol(item.c_str(), &end, 10);
        if (end == item.c_str() || *end != '\0' || m < 0 || m >= zolk::kModeCount) return false;
        o.modes.push_back(static_cast<int>(m));
    }
    return !o.modes.empty();
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--tables") == 0 && hasValue) {
            o.tablesPath = argv[++i];
        } else if (std::strcmp(argv[i], "--modes") == 0 && hasValue) {
            if (!parseModes(argv[++i], o)) return false;
        } else if (std::strcmp(argv[i], "--ebn0") == 0 && hasValue) {
            if (!parseGrid(argv[++i], o)) return false;
        } else if (std::strcmp(argv[i], "--frames") == 0 && hasValue) {
            o.frames = std::atoi(argv[++i]);
            if (o.frames < 1) return false;
        } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            return false;
        }
    }
    return true;
}

struct PointResult {
    double frameErrorRate;
    double halfIterations;
};

// Decodes `frames` random frames of `mode` at `ebN0Db` through steps 1..9.
PointResult measurePoint(zolk::ModeTurboDecoder& decoder, const zolk::FecConfig& config, int mode,
                         double ebN0Db, int frames, std::mt19937& rng) {
    const zolk::ModeRecord& r = zolk::modeRecord(mode);
    const double rate = static_cast<double>(r.infoBits) / r.codedBits;
    const double sigma = std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, ebN0Db / 10.0)));
    std::normal_distribution<double> noise(0.0, sigma);
    std::vector<std::uint8_t> info(static_cast<std::size_t>(r.infoBits));
    std::vector<std::uint8_t> coded(static_cast<std::size_t>(r.codedBits));
    std::vector<std::uint8_t> sent(coded.size());
    std::vector<float> soft(coded.size());
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(r.netBytes));
    int failed = 0;
    long halfIterations = 0;
    for (int f = 0; f < frames; ++f) {
        for (auto& b : info) b = static_cast<std::uint8_t>(rng() & 1U);
        for (std::size_t n = 0; n < expected.size(); ++n) {
            unsigned byte = 0;
            for (int b = 0; b < 8; ++b) {
                const std::size_t i = 8 * n + static_cast<std::size_t>(b);
                byte = (byte << 1) | ((info[i] ^ config.pseudoRandomBits[i]) & 1U);
            }
            expected[n] = static_cast<std::uint8_t>(byte);
        }
        zolk::turboEncode(info, config, coded);
        zolk::interleaveBits(coded, config.bitInterleaver, sent);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            const double y = (sent[i] ? 1.0 : -1.0) + noise(rng);
            soft[i] = static_cast<float>(2.0 * y / (sigma * sigma));
        }
        for (int step = 1; step <= zolk::TurboDecoder::kLastIterationStep; ++step) {
            decoder.fecStep(step, mode, soft);
        }
        halfIterations += decoder.decoder().halfIterations();
        const auto bytes = decoder.frameBytes();
        failed += !std::equal(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    }
    return {static_cast<double>(failed) / frames, static_cast<double>(halfIterations) / frames};
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: turbo_fer [--tables FILE] [--modes 0,3,5] [--ebn0 FROM:TO:STEP] "
                     "[--frames N] [--seed S]\n");
        return 2;
    }
    const zolk::TablesFileLoad load = zolk::loadTablesFile(o.tablesPath);
    if (load.error != zolk::TablesFileError::None) {
        std::fprintf(stderr, "turbo_fer: %s\n", load.message.c_str());
        return 1;
    }
    zolk::RandomSource random;
    const zolk::DrawnTables drawn(random);
    zolk::ModeTurboDecoder decoder(*load.tables, drawn.pseudoRandomBits());
    std::mt19937 rng(o.seed);

    const int points = static_cast<int>(std::floor((o.to - o.from) / o.step + 1e-9)) + 1;
    std::printf("| mode | rate |");
    for (int p = 0; p < points; ++p) std::printf(" %.2f |", o.from + p * o.step);
    std::printf(" 90 %% at Eb/N0 dB | mean half-iterations |\n|---|---|");
    for (int p = 0; p < points; ++p) std::printf("---:|");
    std::printf("---:|---:|\n");
    for (const int mode : o.modes) {
        const zolk::ModeRecord& r = zolk::modeRecord(mode);
        if (r.codeRateIndex == 0) continue;
        const zolk::FecConfig config =
            zolk::fecConfigForMode(mode, *load.tables, drawn.pseudoRandomBits());
        std::printf("| %d | %d/%d |", mode, static_cast<int>(r.infoBits),
                    static_cast<int>(r.codedBits));
        double previousFer = 1.0;
        double previousEbN0 = o.from;
        double at90 = NAN;
        double iterations = 0.0;
        for (int p = 0; p < points; ++p) {
            const double ebN0 = o.from + p * o.step;
            const PointResult result = measurePoint(decoder, config, mode, ebN0, o.frames, rng);
            std::printf(" %.3f |", result.frameErrorRate);
            if (std::isnan(at90) && result.frameErrorRate <= 0.1) {
                at90 = p == 0 ? ebN0
                              : previousEbN0 + (ebN0 - previousEbN0) * (previousFer - 0.1) /
                                                   (previousFer - result.frameErrorRate);
                iterations = result.halfIterations;
            }
            previousFer = result.frameErrorRate;
            previousEbN0 = ebN0;
        }
        if (std::isnan(at90)) {
            std::printf(" - | - |\n");
        } else {
            std::printf(" %.2f | %.1f |\n", at90, iterations);
        }
        std::fflush(stdout);
    }
    return 0;
}
