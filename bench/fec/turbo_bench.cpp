// turbo_bench: CPU time of the turbo encoder and decoder per frame, for every mode.
// Usage: turbo_bench [--tables FILE] [--seconds S]   (run from the source tree by default)
//
// Encode: TurboEncode plus InterleaveBits of one frame. Decode: FEC steps 1..9 of one frame,
// worst case (soft values of pure noise, so the decisions never settle and every half-iteration
// runs) and clean (the decisions settle early). Air time is the frame's symbols without lead-in;
// "x real time" is air time over worst-case decode time.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/fec/mode_fec.h"
#include "phy/fec/turbo_encoder.h"

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Repeats `run` until at least `minSeconds` of CPU time have passed; CPU seconds per call.
template <typename Run>
double secondsPerCall(double minSeconds, Run&& run) {
    long calls = 0;
    const double start = cpuSeconds();
    double elapsed = 0.0;
    do {
        run();
        ++calls;
        elapsed = cpuSeconds() - start;
    } while (elapsed < minSeconds);
    return elapsed / static_cast<double>(calls);
}

struct DecodeRun {
    double seconds;
    int halfIterations;  // constituent passes run on the frame
};

DecodeRun timeDecode(zolk::ModeTurboDecoder& decoder, int mode, const std::vector<float>& soft,
                     double minSeconds) {
    const double seconds = secondsPerCall(minSeconds, [&] {
        for (int step = 1; step <= zolk::TurboDecoder::kLastIterationStep; ++step) {
            decoder.fecStep(step, mode, soft);
        }
    });
    return {seconds, decoder.decoder().halfIterations()};
}

}  // namespace

int main(int argc, char** argv) {
    std::string tablesPath = "data/ZOLKSAT.dat";
    double minSeconds = 1.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tables") == 0 && i + 1 < argc) {
            tablesPath = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            minSeconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: turbo_bench [--tables FILE] [--seconds S]\n");
            return 2;
        }
    }
    const zolk::TablesFileLoad load = zolk::loadTablesFile(tablesPath);
    if (load.error != zolk::TablesFileError::None) {
        std::fprintf(stderr, "turbo_bench: %s\n", load.message.c_str());
        return 1;
    }
    zolk::RandomSource random;
    const zolk::DrawnTables drawn(random);
    zolk::ModeTurboDecoder decoder(*load.tables, drawn.pseudoRandomBits());
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 1.0f);

    std::printf(
        "| mode | InfoBits | air time s | encode ms | encode frames/s | decode ms (worst, "
        "half-it.) | decode frames/s | x real time | decode ms (clean, half-it.) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (int mode = 0; mode < zolk::kModeCount; ++mode) {
        const zolk::ModeRecord& r = zolk::modeRecord(mode);
        const zolk::FecConfig config =
            zolk::fecConfigForMode(mode, *load.tables, drawn.pseudoRandomBits());
        std::vector<std::uint8_t> info(static_cast<std::size_t>(r.infoBits));
        for (auto& b : info) b = static_cast<std::uint8_t>(rng() & 1U);
        std::vector<std::uint8_t> coded(static_cast<std::size_t>(r.codedBits));
        std::vector<std::uint8_t> sent(coded.size());
        const double encode = secondsPerCall(minSeconds, [&] {
            zolk::turboEncode(info, config, coded);
            zolk::interleaveBits(coded, config.bitInterleaver, sent);
        });

        std::vector<float> clean(sent.size());
        std::vector<float> noisy(sent.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            clean[i] = sent[i] ? 2.0f : -2.0f;
            noisy[i] = noise(rng);
        }
        const DecodeRun worst = timeDecode(decoder, mode, noisy, minSeconds);
        const DecodeRun easy = timeDecode(decoder, mode, clean, minSeconds);

        const double airSeconds =
            (r.symbolLimit - 1) * static_cast<double>(r.symbolLength) / 48000.0;
        std::printf("| %d | %d | %.3f | %.3f | %.0f | %.3f (%d) | %.0f | %.0f | %.3f (%d) |\n", mode,
                    static_cast<int>(r.infoBits), airSeconds, 1e3 * encode, 1.0 / encode,
                    1e3 * worst.seconds, worst.halfIterations, 1.0 / worst.seconds,
                    airSeconds / worst.seconds, 1e3 * easy.seconds, easy.halfIterations);
    }
    return 0;
}
