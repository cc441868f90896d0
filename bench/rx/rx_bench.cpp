// rx_bench: what receiving costs a station: CPU time per second of audio and the longest time
// one 256-sample capture block takes in CPU time (the audio clock allows 5.33 ms), per mode, on a clean
// channel and with white noise at an S/N (2500 Hz bandwidth) where the turbo decoder has to run
// all its iterations. Transmissions come from the transmit rig; one row per case.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/data_frame.h"
#include "rx_rig.h"
#include "tx_rig.h"

namespace {

constexpr int kTransmissions = 10;
constexpr std::size_t kGapSamples = 48000;

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// CPU time of this thread alone, so that time slices given to other programs do not count.
double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Case {
    int mode;
    double snrDb;  // infinity: no noise
};

}  // namespace

int main(int argc, char** argv) {
    using namespace zolk;
    const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
    if (load.error != TablesFileError::None) {
        std::fprintf(stderr, "rx_bench: %s\n", load.message.c_str());
        return 1;
    }
    std::vector<int> modes;
    for (int i = 1; i < argc; ++i) modes.push_back(std::stoi(argv[i]));
    if (modes.empty()) modes = {0, 5, 8, 13};
    std::vector<Case> cases;
    for (const int mode : modes) {
        cases.push_back({mode, INFINITY});
        cases.push_back({mode, static_cast<double>(modeRecord(mode).snrThreshold) - 3.0});
    }

    std::printf("mode\tsnr_db\taudio_s\tcpu_s\tcpu_ms_per_audio_s\tmax_block_ms\tframes_ok\n");
    for (const Case& c : cases) {
        const ModeRecord& r = modeRecord(c.mode);
        // The transmissions, with a second of silence before each.
        std::vector<float> audio;
        phytool::TxRig tx(*load.tables, -5);
        RandomSource random;
        random.seed(c.mode);
        std::vector<std::uint8_t> payload(static_cast<std::size_t>(r.userBytes));
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(r.netBytes));
        const std::array<std::span<const std::uint8_t>, 1> frames{frame};
        double signalPower = 0.0;
        std::size_t signalSamples = 0;
        for (int t = 0; t < kTransmissions; ++t) {
            audio.insert(audio.end(), kGapSamples, 0.0f);
            for (auto& b : payload) b = static_cast<std::uint8_t>(random.draw(255));
            buildDataFrame(payload, {}, frame);
            tx.transmit(c.mode, frames, [&](std::span<const std::int16_t> s) {
                for (const std::int16_t v : s) {
                    audio.push_back(v);
                    if (v != 0) {
                        signalPower += static_cast<double>(v) * v;
                        ++signalSamples;
                    }
                }
            });
        }
        audio.insert(audio.end(), 3 * kGapSamples, 0.0f);
        if (std::isfinite(c.snrDb)) {
            // SNR = Ps / (N0 x 2500) with N0 = sigma^2 / 24000 for real noise at 48000 Hz.
            const double ps = signalPower / static_cast<double>(std::max<std::size_t>(signalSamples, 1));
            const double sigma =
                std::sqrt(ps * 24000.0 / (2500.0 * std::pow(10.0, c.snrDb / 10.0)));
            std::mt19937 generator(static_cast<unsigned>(c.mode));
            std::normal_distribution<double> noise(0.0, sigma);
            for (auto& v : audio) v = static_cast<float>(std::clamp(std::round(v + noise(generator)), -32768.0, 32767.0));
        }
        audio.resize(audio.size() - audio.size() % kAudioBlockLength);

        int good = 0;
        int detected = 0;
        phytool::RxRig rx(*load.tables, {c.mode, 1, false}, [&](const FrameVerdict& v) {
            ++detected;
            if (v.good) ++good;
        });
        double longestMs = 0.0;
        const double start = cpuSeconds();
        for (std::size_t at = 0; at < audio.size(); at += kAudioBlockLength) {
            const double begin = threadCpuSeconds();
            rx.capture(std::span<const float, kAudioBlockLength>(audio.data() + at, kAudioBlockLength));
            longestMs = std::max(longestMs, 1000.0 * (threadCpuSeconds() - begin));
        }
        const double cpu = cpuSeconds() - start;
        const double seconds = static_cast<double>(audio.size()) / 48000.0;
        std::printf("%d\t%s\t%.1f\t%.3f\t%.2f\t%.2f\t%d/%d\n", c.mode,
                    std::isfinite(c.snrDb) ? std::to_string(c.snrDb).substr(0, 5).c_str() : "clean",
                    seconds, cpu, 1000.0 * cpu / seconds, longestMs, good, detected);
    }
    return 0;
}
