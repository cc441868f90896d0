// zolk-tables: writes the tables file ZOLKSAT.dat and reports how each mode's turbo interleaver
// came out. The output depends only on the fixed seeds, never on time.
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>

#include "phy/common/tables_file.h"
#include "phy/common/tables_generator.h"

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && std::string(argv[1]).starts_with("-"))) {
        std::cerr << "usage: zolk-tables [OUTPUT]   (default: ZOLKSAT.dat in the current folder)\n";
        return 2;
    }
    const std::string output = argc == 2 ? argv[1] : std::string(zolk::kTablesFileName);

    const auto started = std::chrono::steady_clock::now();
    const zolk::GeneratedTables generated = zolk::generateTables();
    const std::vector<std::uint8_t> image = zolk::encodeTablesFile(generated.tables);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;

    if (const auto reason = zolk::checkTablesFile(generated.tables)) {
        std::cerr << "zolk-tables: generated tables fail their own check: " << *reason << '\n';
        return 1;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    file.close();
    if (!file) {
        std::cerr << "zolk-tables: cannot write " << output << '\n';
        return 1;
    }

    std::cout << "ModeIndex\tInfoBits\tSpreadStart\tSpreadBuilt\tSpreadMeasured\tBytes\n";
    for (int mode = 0; mode < zolk::kModeCount; ++mode) {
        const auto& t = generated.tables[mode];
        std::cout << mode << '\t' << t.record().infoBits << '\t'
                  << static_cast<int>(std::sqrt(t.record().infoBits / 2.0)) << '\t'
                  << generated.turboSpread[static_cast<std::size_t>(mode)] << '\t'
                  << zolk::measuredSpread(t.turboInterleaver) << '\t' << zolk::tablesFileBytes(mode)
                  << '\n';
    }
    std::cout << "wrote " << image.size() << " bytes to " << output << " in " << elapsed.count()
              << " s\n";
    return 0;
}
