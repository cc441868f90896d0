// frame_receiver_bench: CPU cost of the two frame receivers per mode: the frame search at every
// FFT frame (as CPU ms per second of audio) and stage 1 plus the S/N estimate per frame, on
// random-valued stores of the real sizes with the shipped tables file. One row per mode.
#include <chrono>
#include <complex>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/rx/carrier_demodulator.h"
#include "phy/rx/carrier_detector.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/tone_demodulator.h"
#include "phy/rx/tone_detector.h"

namespace {

constexpr double kMinimumCpuS = 0.5;

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Mean CPU microseconds of one call, repeated for at least kMinimumCpuS.
template <typename Call>
double microsecondsPerCall(Call call) {
    long calls = 0;
    const double start = cpuSeconds();
    while (cpuSeconds() - start < kMinimumCpuS) {
        call(calls);
        ++calls;
    }
    return (cpuSeconds() - start) * 1e6 / static_cast<double>(calls);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zolk;
    const std::string path = argc > 1 ? argv[1] : "data/ZOLKSAT.dat";
    const TablesFileLoad load = loadTablesFile(path);
    if (load.error != TablesFileError::None) {
        std::fprintf(stderr, "frame_receiver_bench: %s\n", load.message.c_str());
        return 1;
    }
    RandomSource random;
    const DrawnTables drawn(random);
    std::mt19937 noise(1);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<Complex> spectra(kFrameRingLength * kMaxBins);
    std::vector<float> power(kFrameRingLength * kMaxBins);
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        spectra[i] = {gauss(noise), gauss(noise)};
        power[i] = std::norm(spectra[i]);
    }
    std::vector<Complex> frameSymbols(kFrameSymbolCount * kMaxBins);
    std::vector<Complex> received(frameSymbols.size());
    for (auto& v : received) v = {gauss(noise), gauss(noise)};
    std::vector<float> snapshot(kSnapshotRows * kSnapshotColumns);
    for (auto& v : snapshot) v = std::abs(gauss(noise));

    CarrierFrameDetector carrierDetector;
    CarrierDemodulator carrierDemodulator(qamColumn());
    ToneFrameDetector toneDetector;
    ToneDemodulator toneDemodulator;

    std::printf("mode\tsearch_us_per_fft_frame\tfft_frames_per_audio_s\tsearch_cpu_ms_per_audio_s\t"
                "stage1_us\tsnr_us\n");
    for (int mode = 0; mode < kModeCount; ++mode) {
        const ModeRecord& r = modeRecord(mode);
        const ModeTables& tables = (*load.tables)[mode];
        const auto frame = [](long call) { return static_cast<std::uint16_t>(call % kFrameRingLength); };
        double search = 0.0;
        double stage1 = 0.0;
        double snr = 0.0;
        if (r.modeFamily == Family::MultiCarrier) {
            search = microsecondsPerCall([&](long call) {
                carrierDetector.detectFrame(tables, drawn, 1, spectra, frame(call),
                                            static_cast<std::uint32_t>(call));
            });
            stage1 = microsecondsPerCall([&](long) {
                frameSymbols = received;
                carrierDemodulator.stage1(tables, frameSymbols);
            });
            snr = microsecondsPerCall([&](long) { estimateSnr(tables, frameSymbols); });
        } else {
            search = microsecondsPerCall([&](long call) {
                toneDetector.detectToneFrame(tables, 1, power, frame(call),
                                             static_cast<std::uint32_t>(call));
            });
            stage1 = microsecondsPerCall([&](long) { toneDemodulator.stage1(tables, snapshot); });
            snr = microsecondsPerCall([&](long) { estimateToneSnr(tables, snapshot); });
        }
        const double framesPerSecond = 3000.0 / (r.binsPerSymbol / 8.0);
        std::printf("%d\t%.2f\t%.0f\t%.3f\t%.1f\t%.1f\n", mode, search, framesPerSecond,
                    search * framesPerSecond / 1000.0, stage1, snr);
    }
    return 0;
}
