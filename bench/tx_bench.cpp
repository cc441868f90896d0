// tx_bench: CPU time to produce one second of transmit audio per mode: frame building,
// modulation (turbo code included) and symbol synthesis through the audio engine, as a station
// does it, with the WAV writing of zolk-phy tx left out. One row per mode.
#include <array>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/data_frame.h"
#include "tx_rig.h"

namespace {

constexpr double kMinimumCpuS = 3.0;

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
    using namespace zolk;
    const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
    if (load.error != TablesFileError::None) {
        std::fprintf(stderr, "tx_bench: %s\n", load.message.c_str());
        return 1;
    }
    std::vector<int> modes;
    for (int i = 1; i < argc; ++i) {
        modes.push_back(std::stoi(argv[i]));
    }
    if (modes.empty()) {
        modes = {13, 0};
    }
    std::printf(
        "mode\ttransmissions\taudio_s\ton_air_s\tcpu_s\tcpu_ms_per_audio_s\tcpu_ms_per_on_air_"
        "s\ttimes_real_time\n");
    for (const int mode : modes) {
        const ModeRecord& r = modeRecord(mode);
        phytool::TxRig rig(*load.tables, -5);
        RandomSource random;
        random.seed(mode);
        std::vector<std::uint8_t> payload(static_cast<std::size_t>(r.userBytes));
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(r.netBytes));
        const std::array<std::span<const std::uint8_t>, 1> frames{frame};
        std::uint64_t samples = 0;
        int transmissions = 0;
        const double start = cpuSeconds();
        while (cpuSeconds() - start < kMinimumCpuS) {
            for (auto& b : payload) {
                b = static_cast<std::uint8_t>(random.draw(255));
            }
            buildDataFrame(payload, {}, frame);
            rig.transmit(mode, frames,
                         [&](std::span<const std::int16_t> s) { samples += s.size(); });
            ++transmissions;
        }
        const double cpu = cpuSeconds() - start;
        const double audio = static_cast<double>(samples) / 48000.0;
        // The part with signal: lead-in and frame symbols, without key-up buffer and tail.
        const double onAir =
            transmissions *
            static_cast<double>((r.leadInSymbols + r.symbolLimit - 1) * r.symbolLength) / 48000.0;
        std::printf("%d\t%d\t%.1f\t%.1f\t%.3f\t%.3f\t%.3f\t%.0f\n", mode, transmissions, audio,
                    onAir, cpu, 1000.0 * cpu / audio, 1000.0 * cpu / onAir, audio / cpu);
    }
    return 0;
}
