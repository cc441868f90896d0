// tables_file.h: the tables file ZOLKSAT.dat (interleavers and per-cell tables of every mode):
// its contents, its byte layout, and loading with every check. Read-only once loaded; shareable.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "phy/common/mode_table.h"

namespace zolk {

inline constexpr std::string_view kTablesFileName = "ZOLKSAT.dat";
inline constexpr std::size_t kTablesFileSize = 759482;  // body plus two check bytes

// The tables of one mode. Symbols count from 2 (the first frame symbol) to SymbolLimit; carriers
// and streams count from 0 (carrier c sits on bin FirstCarrierBin + c x CarrierStride).
struct ModeTables {
    int mode = 0;
    std::vector<std::uint16_t> BitInterleaver;    // CodedBits source indices
    std::vector<std::uint16_t> TurboInterleaver;  // InfoBits source indices
    // Multi-carrier modes.
    std::vector<std::int16_t> HeaderPositions;  // [carrier][n]: symbol of header cell n, ascending
    std::vector<std::uint8_t> HeaderCellMap;    // [carrier][symbol - 2]: 1 at header cells
    // Robust modes.
    std::vector<std::uint8_t> StreamHop;          // [symbol - 2][stream]: hop base bin
    std::vector<std::int16_t> StreamHeaderCells;  // [stream][n]: symbol of header cell n
    std::vector<std::uint8_t> StreamToneA;        // [stream][symbol - 2]: 1 at header cells
    std::vector<std::uint8_t> StreamToneB;        // [stream][symbol - 2]: known tone value there

    const ModeRecord& record() const { return modeRecord(mode); }
    std::uint8_t headerCell(int symbol, int carrier) const {
        return HeaderCellMap[cell(carrier, symbol)];
    }
    std::int16_t headerPosition(int carrier, int n) const {
        return HeaderPositions[static_cast<std::size_t>(carrier * record().HeaderSymbols + n)];
    }
    std::uint8_t streamHop(int symbol, int stream) const {
        return StreamHop[static_cast<std::size_t>((symbol - 2) * record().Carriers + stream)];
    }
    std::int16_t streamHeaderCell(int stream, int n) const {
        return StreamHeaderCells[static_cast<std::size_t>(stream * record().HeaderSymbols + n)];
    }
    std::uint8_t streamToneA(int symbol, int stream) const {
        return StreamToneA[cell(stream, symbol)];
    }
    std::uint8_t streamToneB(int symbol, int stream) const {
        return StreamToneB[cell(stream, symbol)];
    }

private:
    std::size_t cell(int row, int symbol) const {
        return static_cast<std::size_t>(row * (record().SymbolLimit - 1) + symbol - 2);
    }
};

struct TablesFile {
    std::array<ModeTables, kModeCount> modes;
    const ModeTables& operator[](int mode) const { return modes[static_cast<std::size_t>(mode)]; }
};

// Bytes that mode's tables take in the file.
constexpr std::size_t tablesFileBytes(int mode) {
    const ModeRecord& r = modeRecord(mode);
    const std::size_t symbols = static_cast<std::size_t>(r.SymbolLimit - 1);
    std::size_t words = static_cast<std::size_t>(r.CodedBits + r.InfoBits);
    if (r.ModeFamily == Family::MultiCarrier) {
        words += r.Carriers * (r.HeaderSymbols + symbols);
    } else {
        words += symbols * r.Carriers + r.Carriers * r.HeaderSymbols + 2 * r.Carriers * symbols;
    }
    return 2 * words;
}

static_assert([] {
    std::size_t total = 0;
    for (int mode = 0; mode < kModeCount; ++mode) total += tablesFileBytes(mode);
    return total + 2 == kTablesFileSize;
}());

// The file image: every mode's tables as big-endian words, then the CRC (high byte first).
std::vector<std::uint8_t> encodeTablesFile(const TablesFile& tables);

// Every check the loader makes beyond size and CRC (shapes, permutations, header cells against
// the mode table, ranges); the reason for the first failure, or nothing when all hold.
std::optional<std::string> checkTablesFile(const TablesFile& tables);

enum class TablesFileError : std::uint8_t { None, NotFound, WrongSize, Corrupt };

struct TablesFileLoad {
    std::shared_ptr<const TablesFile> tables;  // set only when error is None
    TablesFileError error = TablesFileError::None;
    std::string message;  // for the operator; names the file
};

// Decodes and checks a whole file image; displayName names the file in messages.
TablesFileLoad parseTablesFile(std::span<const std::uint8_t> image, std::string_view displayName);

// Reads and checks the file at path.
TablesFileLoad loadTablesFile(const std::filesystem::path& path);

// Where the tables file is looked for: the given file if any; else beside the executable; else
// in ../share/zolksat relative to the executable's folder; else the data folder of the configured
// install prefix. When none exists the first candidate is returned, for the message.
std::filesystem::path locateTablesFile(const std::optional<std::filesystem::path>& given,
                                       const std::filesystem::path& executableDir);

// The folder of the running program; empty when the system cannot tell.
std::filesystem::path executableDir();

// The installed data folder (<prefix>/share/zolksat).
std::filesystem::path installedDataDir();

}  // namespace zolk
