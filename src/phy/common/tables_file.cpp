#include "phy/common/tables_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "phy/common/crc16.h"
#include "version.h"

#ifndef ZOLK_DATA_DIR
#error "ZOLK_DATA_DIR must name the installed data folder"
#endif

namespace zolk {
namespace {

std::size_t symbolsOf(const ModeRecord& r) { return static_cast<std::size_t>(r.symbolLimit - 1); }

// ---- writing ----

class WordWriter {
public:
    explicit WordWriter(std::vector<std::uint8_t>& out) : m_out(out) {}
    template <typename T>
    void words(const std::vector<T>& values) {
        for (const T v : values) {
            const auto word = static_cast<std::uint16_t>(v);
            m_out.push_back(static_cast<std::uint8_t>(word >> 8));
            m_out.push_back(static_cast<std::uint8_t>(word & 0xFF));
        }
    }

private:
    std::vector<std::uint8_t>& m_out;
};

// ---- reading ----

class WordReader {
public:
    explicit WordReader(std::span<const std::uint8_t> body) : m_body(body) {}

    // Reads count words into out; false when a word does not fit (above max).
    template <typename T>
    bool words(std::size_t count, unsigned max, std::vector<T>& out) {
        out.resize(count);
        for (auto& v : out) {
            const unsigned word = (unsigned{m_body[m_at]} << 8) | m_body[m_at + 1];
            m_at += 2;
            if (word > max) {
                return false;
            }
            v = static_cast<T>(word);
        }
        return true;
    }

private:
    std::span<const std::uint8_t> m_body;
    std::size_t m_at = 0;
};

constexpr unsigned kByteMax = 255;
constexpr unsigned kSignedMax = 32767;
constexpr unsigned kWordMax = 65535;

// Decodes one mode; the reason on a word that does not fit its table.
std::optional<std::string> readMode(WordReader& in, ModeTables& t) {
    const ModeRecord& r = t.record();
    const std::size_t symbols = symbolsOf(r);
    const auto range = [](const char* table) { return std::string(table) + " value out of range"; };
    if (!in.words(static_cast<std::size_t>(r.codedBits), kWordMax, t.bitInterleaver)) {
        return range("BitInterleaver");
    }
    if (!in.words(static_cast<std::size_t>(r.infoBits), kWordMax, t.turboInterleaver)) {
        return range("TurboInterleaver");
    }
    if (r.modeFamily == Family::Robust) {
        if (!in.words(symbols * r.carriers, kByteMax, t.streamHops)) return range("StreamHop");
        if (!in.words(std::size_t{r.carriers} * r.headerSymbols, kSignedMax, t.streamHeaderCells)) {
            return range("StreamHeaderCells");
        }
        std::vector<std::uint8_t> pairs;
        if (!in.words(2 * symbols * r.carriers, kByteMax, pairs)) return range("StreamTone");
        t.streamTonesA.resize(symbols * r.carriers);
        t.streamTonesB.resize(symbols * r.carriers);
        for (std::size_t i = 0; i < t.streamTonesA.size(); ++i) {
            t.streamTonesA[i] = pairs[2 * i];
            t.streamTonesB[i] = pairs[2 * i + 1];
        }
    } else {
        if (!in.words(std::size_t{r.carriers} * r.headerSymbols, kSignedMax, t.headerPositions)) {
            return range("HeaderPositions");
        }
        if (!in.words(symbols * r.carriers, kByteMax, t.headerCellMap))
            return range("HeaderCellMap");
    }
    return std::nullopt;
}

// ---- checking ----

bool isPermutation(const std::vector<std::uint16_t>& p, std::size_t size) {
    if (p.size() != size) return false;
    std::vector<bool> seen(size, false);
    for (const auto v : p) {
        if (v >= size || seen[v]) return false;
        seen[v] = true;
    }
    return true;
}

// Header symbols per row ascending within first..symbolLimit.
bool headersInOrder(const std::vector<std::int16_t>& headers, const ModeRecord& r, int first) {
    for (std::size_t row = 0; row < r.carriers; ++row) {
        int previous = first - 1;
        for (std::size_t n = 0; n < r.headerSymbols; ++n) {
            const int symbol = headers[row * r.headerSymbols + n];
            if (symbol <= previous || symbol > r.symbolLimit) return false;
            previous = symbol;
        }
    }
    return true;
}

// A per-row 0/1 map is 1 exactly at the listed header symbols.
bool mapMatchesHeaders(const std::vector<std::uint8_t>& map,
                       const std::vector<std::int16_t>& headers, const ModeRecord& r) {
    const std::size_t symbols = symbolsOf(r);
    for (std::size_t row = 0; row < r.carriers; ++row) {
        const auto begin = headers.begin() + static_cast<std::ptrdiff_t>(row * r.headerSymbols);
        const auto end = begin + r.headerSymbols;
        for (std::size_t s = 0; s < symbols; ++s) {
            const bool listed = std::find(begin, end, static_cast<std::int16_t>(s + 2)) != end;
            if ((map[row * symbols + s] == 1) != listed) return false;
        }
    }
    return true;
}

std::optional<std::string> checkMultiCarrier(const ModeTables& t, const ModeRecord& r) {
    const std::size_t symbols = symbolsOf(r);
    if (t.headerPositions.size() != std::size_t{r.carriers} * r.headerSymbols ||
        t.headerCellMap.size() != symbols * r.carriers) {
        return "per-cell tables have the wrong size";
    }
    // A header cell repeats the cell before it, so it never sits on the first frame symbol.
    if (!headersInOrder(t.headerPositions, r, 3)) {
        return "HeaderPositions not ascending within symbols 3.." + std::to_string(r.symbolLimit);
    }
    if (r.pilotCells > 0) {
        for (int c = 0; c < r.carriers; ++c) {
            const int bin = r.firstCarrierBin + c * r.carrierStride;
            for (int n = 0; n < r.headerSymbols; ++n) {
                if (pilotMap(t.headerPosition(c, n), bin)) return "header cell on a pilot cell";
            }
        }
    }
    if (std::any_of(t.headerCellMap.begin(), t.headerCellMap.end(), [](auto v) { return v > 1; })) {
        return "HeaderCellMap value other than 0 or 1";
    }
    // The differential modes spend their first symbol on the phase reference.
    const int firstDataSymbol = r.pilotCells == 0 ? 3 : 2;
    int dataCells = 0;
    for (int c = 0; c < r.carriers; ++c) {
        const int bin = r.firstCarrierBin + c * r.carrierStride;
        for (int symbol = firstDataSymbol; symbol <= r.symbolLimit; ++symbol) {
            const bool pilot = r.pilotCells > 0 && pilotMap(symbol, bin);
            dataCells += !pilot && t.headerCell(symbol, c) == 0 ? 1 : 0;
        }
    }
    if (dataCells != r.dataCells) {
        return "HeaderCellMap leaves " + std::to_string(dataCells) + " data cells instead of " +
               std::to_string(r.dataCells);
    }
    if (!mapMatchesHeaders(t.headerCellMap, t.headerPositions, r)) {
        return "HeaderCellMap disagrees with HeaderPositions";
    }
    return std::nullopt;
}

std::optional<std::string> checkRobust(const ModeTables& t, const ModeRecord& r) {
    const std::size_t symbols = symbolsOf(r);
    if (t.streamHops.size() != symbols * r.carriers ||
        t.streamHeaderCells.size() != std::size_t{r.carriers} * r.headerSymbols ||
        t.streamTonesA.size() != symbols * r.carriers ||
        t.streamTonesB.size() != symbols * r.carriers) {
        return "per-cell tables have the wrong size";
    }
    const int tones = 1 << r.bitsPerCell;
    for (int symbol = 2; symbol <= r.symbolLimit; ++symbol) {
        for (int s = 0; s < r.carriers; ++s) {
            const int hop = t.streamHop(symbol, s);
            if (hop < r.firstToneBin || hop > r.lastToneBin)
                return "StreamHop outside the tone band";
            // Each stream's tones run from its hop base over 2^BitsPerCell bins (wrapping in the
            // band); two streams must never reach the same bin.
            for (int other = 0; other < s; ++other) {
                const int gap = (hop - t.streamHop(symbol, other) + r.toneBins) % r.toneBins;
                if (gap < tones || r.toneBins - gap < tones) return "streams share a tone bin";
            }
        }
    }
    if (!headersInOrder(t.streamHeaderCells, r, 2)) {
        return "StreamHeaderCells not ascending within symbols 2.." + std::to_string(r.symbolLimit);
    }
    if (std::any_of(t.streamTonesA.begin(), t.streamTonesA.end(), [](auto v) { return v > 1; })) {
        return "StreamToneA value other than 0 or 1";
    }
    const auto dataCells = std::count(t.streamTonesA.begin(), t.streamTonesA.end(), 0);
    if (dataCells != r.dataCells) {
        return "StreamToneA leaves " + std::to_string(dataCells) + " data cells instead of " +
               std::to_string(r.dataCells);
    }
    if (!mapMatchesHeaders(t.streamTonesA, t.streamHeaderCells, r)) {
        return "StreamToneA disagrees with StreamHeaderCells";
    }
    for (std::size_t i = 0; i < t.streamTonesB.size(); ++i) {
        const int value = t.streamTonesB[i];
        const bool valid =
            t.streamTonesA[i] == 1 ? value < tones && value % r.toneGroups == 0 : value == 0;
        if (!valid) return "StreamToneB not a known header tone";
    }
    return std::nullopt;
}

std::optional<std::string> checkMode(const ModeTables& t) {
    const ModeRecord& r = t.record();
    if (!isPermutation(t.bitInterleaver, static_cast<std::size_t>(r.codedBits))) {
        return "BitInterleaver is not a permutation";
    }
    if (!isPermutation(t.turboInterleaver, static_cast<std::size_t>(r.infoBits))) {
        return "TurboInterleaver is not a permutation";
    }
    return r.modeFamily == Family::Robust ? checkRobust(t, r) : checkMultiCarrier(t, r);
}

TablesFileLoad failure(TablesFileError error, std::string message) {
    return TablesFileLoad{nullptr, error, std::move(message)};
}

TablesFileLoad wrongSize(std::string_view name) {
    return failure(TablesFileError::WrongSize,
                   std::string(name) + " file does not belong to this v" + std::string(kVersion));
}

std::string corrupt(std::string_view name, const std::string& reason) {
    return std::string(name) + " file is corrupt (" + reason + ")";
}

}  // namespace

std::vector<std::uint8_t> encodeTablesFile(const TablesFile& tables) {
    std::vector<std::uint8_t> image;
    image.reserve(kTablesFileSize);
    WordWriter out(image);
    for (const ModeTables& t : tables.modes) {
        out.words(t.bitInterleaver);
        out.words(t.turboInterleaver);
        if (t.record().modeFamily == Family::Robust) {
            out.words(t.streamHops);
            out.words(t.streamHeaderCells);
            std::vector<std::uint8_t> pairs;
            for (std::size_t i = 0; i < t.streamTonesA.size(); ++i) {
                pairs.push_back(t.streamTonesA[i]);
                pairs.push_back(t.streamTonesB[i]);
            }
            out.words(pairs);
        } else {
            out.words(t.headerPositions);
            out.words(t.headerCellMap);
        }
    }
    const auto crc = crc16StoredBytes(image);
    image.insert(image.end(), crc.begin(), crc.end());
    return image;
}

std::optional<std::string> checkTablesFile(const TablesFile& tables) {
    for (int mode = 0; mode < kModeCount; ++mode) {
        if (auto reason = checkMode(tables[mode])) {
            return "mode " + std::to_string(mode) + ": " + *reason;
        }
    }
    return std::nullopt;
}

TablesFileLoad parseTablesFile(std::span<const std::uint8_t> image, std::string_view displayName) {
    if (image.size() != kTablesFileSize) {
        return wrongSize(displayName);
    }
    if (!crc16Matches(image)) {
        return failure(TablesFileError::Corrupt, corrupt(displayName, "checksum mismatch"));
    }
    auto tables = std::make_shared<TablesFile>();
    WordReader in(image.first(kTablesFileSize - 2));
    for (int mode = 0; mode < kModeCount; ++mode) {
        ModeTables& t = tables->modes[static_cast<std::size_t>(mode)];
        t.mode = mode;
        if (auto reason = readMode(in, t)) {
            return failure(TablesFileError::Corrupt,
                           corrupt(displayName, "mode " + std::to_string(mode) + ": " + *reason));
        }
    }
    if (auto reason = checkTablesFile(*tables)) {
        return failure(TablesFileError::Corrupt, corrupt(displayName, *reason));
    }
    return TablesFileLoad{std::move(tables), TablesFileError::None, {}};
}

TablesFileLoad loadTablesFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return failure(TablesFileError::NotFound, name + " file not found");
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error || size != kTablesFileSize) {
        return wrongSize(name);
    }
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> image(kTablesFileSize);
    file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!file) {
        return failure(TablesFileError::Corrupt, corrupt(name, "it cannot be read"));
    }
    return parseTablesFile(image, name);
}

std::filesystem::path installedDataDir() { return ZOLK_DATA_DIR; }

std::filesystem::path executableDir() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path{} : self.parent_path();
}

std::filesystem::path locateTablesFile(const std::optional<std::filesystem::path>& given,
                                       const std::filesystem::path& executableDir) {
    if (given) return *given;
    const auto beside = executableDir / kTablesFileName;
    // An installed program finds its data relative to itself first, so one build serves any
    // install prefix (a package under /usr from a build configured for /usr/local).
    const auto besideInstalled = executableDir.parent_path() / "share" / "zolksat" / kTablesFileName;
    const auto installed = installedDataDir() / kTablesFileName;
    std::error_code error;
    for (const auto& candidate : {beside, besideInstalled, installed})
        if (std::filesystem::exists(candidate, error)) return candidate;
    return beside;
}

}  // namespace zolk
