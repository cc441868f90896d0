// phy_common_bench: speed of the shared transforms and of building and loading the tables file.
// Prints one row per case: name, calls per second, microseconds per call.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/fft.h"
#include "phy/common/tables_file.h"
#include "phy/common/tables_generator.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::duration<double> kMinimumRun{0.5};

// Repeats body until kMinimumRun has passed and reports the rate.
void measure(const std::string& name, const std::function<void()>& body) {
    long calls = 0;
    const auto start = Clock::now();
    std::chrono::duration<double> elapsed{};
    do {
        body();
        ++calls;
        elapsed = Clock::now() - start;
    } while (elapsed < kMinimumRun);
    const double seconds = elapsed.count();
    std::printf("%-28s %14.1f %12.3f\n", name.c_str(), calls / seconds, 1e6 * seconds / calls);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string tablesFile = argc > 1 ? argv[1] : "data/ZOLKSAT.dat";
    std::printf("%-28s %14s %12s\n", "case", "calls/s", "us/call");
    for (const std::size_t n : {16U, 64U, 1024U}) {
        zolk::Fft fft(n);
        std::vector<zolk::Complex> x(n, zolk::Complex{0.5f, -0.25f});
        measure("Fft " + std::to_string(n), [&] { fft.transform(x); });
    }
    for (const std::size_t n : {256U, 512U, 1024U}) {
        zolk::RealSynthesis synthesis(n);
        std::vector<zolk::Complex> bins(n / 2 + 1, zolk::Complex{0.1f, 0.2f});
        std::vector<float> out(n);
        measure("RealSynthesis " + std::to_string(n), [&] { synthesis.synthesize(bins, out); });
    }
    measure("DrawnTables", [] {
        zolk::RandomSource random;
        const zolk::DrawnTables tables(random);
    });
    measure("generateTables", [] { zolk::generateTables(); });
    measure("loadTablesFile", [&] {
        if (zolk::loadTablesFile(tablesFile).error != zolk::TablesFileError::None) {
            std::fprintf(stderr, "cannot load %s\n", tablesFile.c_str());
            std::exit(1);
        }
    });
    return 0;
}
