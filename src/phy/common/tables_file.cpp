#include "phy/common/tables_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "phy/common/crc16.h"

#ifndef ZOLK_VERSION
#error "ZOLK_VERSION must name the program version"
#endif
#ifndef ZOLK_DATA_DIR
#error "ZOLK_DATA_DIR must name the installed data folder"
#endif

namespace zolk {
namespace {

std::size_t symbolsOf(const ModeRecord& r) { return static_cast<std::size_t>(r.SymbolLimit - 1); }

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
    if (!in.words(static_cast<std::size_t>(r.CodedBits), kWordMax, t.BitInterleaver)) {
        return range("BitInterleaver");
    }
    if (!in.words(static_cast<std::size_t>(r.InfoBits), kWordMax, t.TurboInterleaver)) {
        return range("TurboInterleaver");
    }
    if (r.ModeFamily == Family::Robust) {
        if (!in.words(symbols * r.Carriers, kByteMax, t.StreamHop)) return range("StreamHop");
        if (!in.words(std::size_t{r.Carriers} * r.HeaderSymbols, kSignedMax, t.StreamHeaderCells)) {
            return range("StreamHeaderCells");
        }
        std::vector<std::uint8_t> pairs;
        if (!in.words(2 * symbols * r.Carriers, kByteMax, pairs)) return range("StreamTone");
        t.StreamToneA.resize(symbols * r.Carriers);
        t.StreamToneB.resize(symbols * r.Carriers);
        for (std::size_t i = 0; i < t.StreamToneA.size(); ++i) {
            t.StreamToneA[i] = pairs[2 * i];
            t.StreamToneB[i] = pairs[2 * i + 1];
        }
    } else {
        if (!in.words(std::size_t{r.Carriers} * r.HeaderSymbols, kSignedMax, t.HeaderPositions)) {
            return range("HeaderPositions");
        }
        if (!in.words(symbols * r.Carriers, kByteMax, t.HeaderCellMap))
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

// Header symbols per row ascending within first..SymbolLimit.
bool headersInOrder(const std::vector<std::int16_t>& headers, const ModeRecord& r, int first) {
    for (std::size_t row = 0; row < r.Carriers; ++row) {
        int previous = first - 1;
        for (std::size_t n = 0; n < r.HeaderSymbols; ++n) {
            const int symbol = headers[row * r.HeaderSymbols + n];
            if (symbol <= previous || symbol > r.SymbolLimit) return false;
            previous = symbol;
        }
    }
    return true;
}

// A per-row 0/1 map is 1 exactly at the listed header symbols.
bool mapMatchesHeaders(const std::vector<std::uint8_t>& map,
                       const std::vector<std::int16_t>& headers, const ModeRecord& r) {
    const std::size_t symbols = symbolsOf(r);
    for (std::size_t row = 0; row < r.Carriers; ++row) {
        const auto begin = headers.begin() + static_cast<std::ptrdiff_t>(row * r.HeaderSymbols);
        const auto end = begin + r.HeaderSymbols;
        for (std::size_t s = 0; s < symbols; ++s) {
            const bool listed = std::find(begin, end, static_cast<std::int16_t>(s + 2)) != end;
            if ((map[row * symbols + s] == 1) != listed) return false;
        }
    }
    return true;
}

std::optional<std::string> checkMultiCarrier(const ModeTables& t, const ModeRecord& r) {
    const std::size_t symbols = symbolsOf(r);
    if (t.HeaderPositions.size() != std::size_t{r.Carriers} * r.HeaderSymbols ||
        t.HeaderCellMap.size() != symbols * r.Carriers) {
        return "per-cell tables have the wrong size";
    }
    // A header cell repeats the cell before it, so it never sits on the first frame symbol.
    if (!headersInOrder(t.HeaderPositions, r, 3)) {
        return "HeaderPositions not ascending within symbols 3.." + std::to_string(r.SymbolLimit);
    }
    if (r.PilotCells > 0) {
        for (int c = 0; c < r.Carriers; ++c) {
            const int bin = r.FirstCarrierBin + c * r.CarrierStride;
            for (int n = 0; n < r.HeaderSymbols; ++n) {
                if (PilotMap(t.headerPosition(c, n), bin)) return "header cell on a pilot cell";
            }
        }
    }
    if (std::any_of(t.HeaderCellMap.begin(), t.HeaderCellMap.end(), [](auto v) { return v > 1; })) {
        return "HeaderCellMap value other than 0 or 1";
    }
    // The differential modes spend their first symbol on the phase reference.
    const int firstDataSymbol = r.PilotCells == 0 ? 3 : 2;
    int dataCells = 0;
    for (int c = 0; c < r.Carriers; ++c) {
        const int bin = r.FirstCarrierBin + c * r.CarrierStride;
        for (int symbol = firstDataSymbol; symbol <= r.SymbolLimit; ++symbol) {
            const bool pilot = r.PilotCells > 0 && PilotMap(symbol, bin);
            dataCells += !pilot && t.headerCell(symbol, c) == 0 ? 1 : 0;
        }
    }
    if (dataCells != r.DataCells) {
        return "HeaderCellMap leaves " + std::to_string(dataCells) + " data cells instead of " +
               std::to_string(r.DataCells);
    }
    if (!mapMatchesHeaders(t.HeaderCellMap, t.HeaderPositions, r)) {
        return "HeaderCellMap disagrees with HeaderPositions";
    }
    return std::nullopt;
}

std::optional<std::string> checkRobust(const ModeTables& t, const ModeRecord& r) {
    const std::size_t symbols = symbolsOf(r);
    if (t.StreamHop.size() != symbols * r.Carriers ||
        t.StreamHeaderCells.size() != std::size_t{r.Carriers} * r.HeaderSymbols ||
        t.StreamToneA.size() != symbols * r.Carriers ||
        t.StreamToneB.size() != symbols * r.Carriers) {
        return "per-cell tables have the wrong size";
    }
    const int tones = 1 << r.BitsPerCell;
    for (int symbol = 2; symbol <= r.SymbolLimit; ++symbol) {
        for (int s = 0; s < r.Carriers; ++s) {
            const int hop = t.streamHop(symbol, s);
            if (hop < r.FirstToneBin || hop > r.LastToneBin)
                return "StreamHop outside the tone band";
            // Each stream's tones run from its hop base over 2^BitsPerCell bins (wrapping in the
            // band); two streams must never reach the same bin.
            for (int other = 0; other < s; ++other) {
                const int gap = (hop - t.streamHop(symbol, other) + r.ToneBins) % r.ToneBins;
                if (gap < tones || r.ToneBins - gap < tones) return "streams share a tone bin";
            }
        }
    }
    if (!headersInOrder(t.StreamHeaderCells, r, 2)) {
        return "StreamHeaderCells not ascending within symbols 2.." + std::to_string(r.SymbolLimit);
    }
    if (std::any_of(t.StreamToneA.begin(), t.StreamToneA.end(), [](auto v) { return v > 1; })) {
        return "StreamToneA value other than 0 or 1";
    }
    const auto dataCells = std::count(t.StreamToneA.begin(), t.StreamToneA.end(), 0);
    if (dataCells != r.DataCells) {
        return "StreamToneA leaves " + std::to_string(dataCells) + " data cells instead of " +
               std::to_string(r.DataCells);
    }
    if (!mapMatchesHeaders(t.StreamToneA, t.StreamHeaderCells, r)) {
        return "StreamToneA disagrees with StreamHeaderCells";
    }
    for (std::size_t i = 0; i < t.StreamToneB.size(); ++i) {
        const int value = t.StreamToneB[i];
        const bool valid =
            t.StreamToneA[i] == 1 ? value < tones && value % r.ToneGroups == 0 : value == 0;
        if (!valid) return "StreamToneB not a known header tone";
    }
    return std::nullopt;
}

std::optional<std::string> checkMode(const ModeTables& t) {
    const ModeRecord& r = t.record();
    if (!isPermutation(t.BitInterleaver, static_cast<std::size_t>(r.CodedBits))) {
        return "BitInterleaver is not a permutation";
    }
    if (!isPermutation(t.TurboInterleaver, static_cast<std::size_t>(r.InfoBits))) {
        return "TurboInterleaver is not a permutation";
    }
    return r.ModeFamily == Family::Robust ? checkRobust(t, r) : checkMultiCarrier(t, r);
}

TablesFileLoad failure(TablesFileError error, std::string message) {
    return TablesFileLoad{nullptr, error, std::move(message)};
}

TablesFileLoad wrongSize(std::string_view name) {
    return failure(TablesFileError::WrongSize,
                   std::string(name) + " file does not belong to this v" ZOLK_VERSION);
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
        out.words(t.BitInterleaver);
        out.words(t.TurboInterleaver);
        if (t.record().ModeFamily == Family::Robust) {
            out.words(t.StreamHop);
            out.words(t.StreamHeaderCells);
            std::vector<std::uint8_t> pairs;
            for (std::size_t i = 0; i < t.StreamToneA.size(); ++i) {
                pairs.push_back(t.StreamToneA[i]);
                pairs.push_back(t.StreamToneB[i]);
            }
            out.words(pairs);
        } else {
            out.words(t.HeaderPositions);
            out.words(t.HeaderCellMap);
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
