// mode_table.h: the 15 speed modes and every figure derived from them, computed at compile time.
// Owns only read-only data; the learned per-mode S/N offset is session state and lives there.
#pragma once

#include <array>
#include <cstdint>

namespace zolk {

inline constexpr int kModeCount = 15;
inline constexpr int kCheckpointCount = 10;

enum class Family : std::uint8_t {
    MultiCarrier = 1,  // pilot-aided or differential carriers (modes 5..13)
    Robust = 2,        // hopped multi-tone keying (modes 0..4, 14)
};

// Byte-level outer code layout; with no outer parity in any mode both byte counts are InfoBytes.
struct OuterCodeLayout {
    std::uint8_t blocks;
    std::uint8_t spare;
    std::uint8_t parityBytesPerBlock;
    std::uint8_t dataBytesPerBlock;
    std::int16_t codedBytes;
    std::int16_t netBytes;
};

// Fields in their fixed order; robust modes hold 0 in the carrier fields and multi-carrier modes
// 0 in the tone fields. SnrOffset is not here: the session learns it per link.
struct ModeRecord {
    Family modeFamily;
    std::uint8_t bitsPerCell;
    std::uint8_t turboConstraint;
    std::uint8_t codeRateIndex;
    std::uint8_t encoderKind;
    std::int16_t symbolLimit;
    std::int16_t frameLengthUnits;
    float outerParityFraction;
    OuterCodeLayout outerLayout;
    std::int16_t dataCells;
    std::int32_t codedBits;
    std::int32_t infoBits;
    std::int16_t infoBytes;
    std::int16_t reservedCells;
    std::int16_t netBitRate;
    std::int16_t throughput;
    float snrThreshold;
    float snrThresholdAdjusted;
    std::int16_t netBytes;
    std::int16_t userBytes;
    std::uint8_t headerSymbols;
    std::uint8_t carrierStride;
    std::uint8_t firstCarrierBin;
    std::uint8_t lastCarrierBin;
    std::uint8_t carriers;
    std::int16_t pilotCells;
    float amplitudeDivisor;
    std::uint8_t speedLevel;
    float crestDb;
    float guardFraction;
    std::int32_t symbolLength;
    std::int32_t guardLength;
    std::int32_t symbolMs;
    std::uint8_t guardEighths;
    std::int16_t processingDelayMs;
    std::array<std::int32_t, kCheckpointCount> checkpoints;
    float qamCorrection;
    std::uint8_t binsPerSymbol;
    std::int16_t transformSize;
    std::uint8_t crossfadeLength;
    float carrierSpacing;
    std::uint8_t binGroups;
    std::int16_t tailSymbols;
    std::uint8_t toneGroups;
    std::uint8_t firstToneBin;
    std::uint8_t lastToneBin;
    std::uint8_t toneBins;
    std::uint8_t leadInSymbols;
};

// Coded bits that carry the turbo tail for constraint length k (12 for k = 4).
constexpr int turboTailBits(int constraint) { return 4 * constraint - 4; }

// Information bits that fit into codedBits at the rate of rateIndex (0 = uncoded, 2 = 1/3,
// 3 = 1/2, 4..10 = 2/3, 3/4, 4/5, 5/6, 6/7, 7/8, 15/16); 0 for an unknown index.
constexpr int turboCapacity(int codedBits, int constraint, int rateIndex) {
    constexpr std::array<std::array<int, 2>, 11> kRates{{
        {1, 1},
        {0, 0},
        {1, 3},
        {1, 2},
        {2, 3},
        {3, 4},
        {4, 5},
        {5, 6},
        {6, 7},
        {7, 8},
        {15, 16},
    }};
    if (rateIndex == 0) {
        return codedBits;
    }
    if (rateIndex < 2 || rateIndex > 10) {
        return 0;
    }
    const int k = kRates[static_cast<std::size_t>(rateIndex)][0];
    const int n = kRates[static_cast<std::size_t>(rateIndex)][1];
    const int tail = turboTailBits(constraint);
    const int usable = codedBits - (codedBits - tail) % n;
    return k * (usable - tail) / n;
}

// PilotMap[symbol][bin], symbols 2..640, bins 0..63: scattered pilots in a diagonal lattice.
constexpr bool pilotMap(int symbol, int bin) {
    return (bin % 2 == 0 && symbol % 8 == 2) || (bin % 2 == 1 && symbol % 8 == 6);
}

// How far above a 10 dB-crest signal's mean power the transmitter's level rule sends a mode of
// this crest factor: 10 - crest dB less the 2 dB of peak per 10 dB of crest it gives up.
constexpr float crestLevelOffsetDb(float crestDb) { return 0.8f * (10.0f - crestDb); }

// A mode's S/N in dB put on the modem's scale: the S/N a 10 dB-crest signal at the same peak level
// would have on the same noise floor.
float adjustedSnrThreshold(float snrDb, int mode);

namespace detail {

struct ModeConstants {
    Family family;
    std::uint8_t bitsPerCell;
    std::uint8_t codeRateIndex;
    std::int16_t symbolLimit;
    float snrThresholdDb;
    std::uint8_t headerSymbols;
    std::uint8_t carrierStride;
    std::uint8_t firstCarrierBin;
    std::uint8_t carriers;
    float amplitudeDivisor;
    float crestDb;
    float guardFraction;
    std::int16_t processingDelayMs;
    std::uint8_t binsPerSymbol;
    std::uint8_t firstToneBin;
    std::uint8_t lastToneBin;
    float qamCorrection;
};

constexpr Family kR = Family::Robust;
constexpr Family kM = Family::MultiCarrier;

// clang-format off
inline constexpr std::array<ModeConstants, kModeCount> kModeConstants{{
    // family bits rate limit  snr  hdr stride first carriers divisor crest guard delay bins tones..  qam
    {kR, 3, 2, 133, -11.2f, 24, 0, 0,  1, 1.41f, 3.0f, 0.0f,   205, 64, 8, 55, 0.0f},
    {kR, 3, 2, 221, -11.2f, 24, 0, 0,  1, 1.41f, 3.0f, 0.0f,   205, 64, 8, 55, 0.0f},
    {kR, 4, 3, 224,  -9.2f, 24, 0, 0,  1, 1.41f, 3.0f, 0.0f,   209, 64, 8, 55, 0.0f},
    {kR, 4, 3, 450,  -6.4f, 24, 0, 0,  1, 1.41f, 3.0f, 0.0f,   205, 32, 4, 27, 0.0f},
    {kR, 3, 3, 450,  -4.0f, 12, 0, 0,  2, 2.0f,  5.8f, 0.0f,   194, 32, 4, 27, 0.0f},
    {kM, 2, 3, 600,  -1.2f, 17, 4, 4,  3, 2.45f, 6.5f, 0.5f,   161, 16, 0, 0,  0.0f},
    {kM, 2, 3, 360,   0.2f,  6, 3, 5,  8, 4.0f,  8.3f, 0.25f,  209, 32, 0, 0,  0.0f},
    {kM, 2, 3, 360,   2.0f,  4, 2, 5, 12, 4.9f,  8.4f, 0.25f,  241, 32, 0, 0,  0.0f},
    {kM, 2, 3, 200,   4.8f,  1, 1, 8, 48, 9.8f,  9.8f, 0.125f, 466, 64, 0, 0,  0.0f},
    {kM, 3, 3, 198,   8.4f,  1, 1, 8, 48, 9.8f,  9.8f, 0.125f, 613, 64, 0, 0,  0.0f},
    {kM, 4, 3, 195,   9.4f,  1, 1, 8, 48, 7.65f, 9.8f, 0.125f, 702, 64, 0, 0, -1.7f},
    {kM, 5, 3, 193,  12.0f,  1, 1, 8, 48, 7.83f, 9.8f, 0.125f, 1097, 64, 0, 0, -1.59f},
    {kM, 5, 4, 141,  14.8f,  1, 1, 8, 48, 7.83f, 9.8f, 0.125f, 1062, 64, 0, 0, -1.59f},
    {kM, 5, 6, 135,  17.2f,  1, 1, 8, 48, 7.83f, 9.8f, 0.125f, 1161, 64, 0, 0, -1.59f},
    {kR, 3, 2, 109, -11.2f, 24, 0, 0,  1, 1.41f, 3.0f, 0.0f,   205, 64, 8, 55, 0.0f},
}};
// clang-format on

// Rounds to the nearest integer, halves to even.
constexpr long roundHalfEven(double x) {
    long whole = static_cast<long>(x);
    if (static_cast<double>(whole) > x) {
        --whole;
    }
    const double fraction = x - static_cast<double>(whole);
    if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0)) {
        return whole + 1;
    }
    return whole;
}

constexpr int countPilotCells(const ModeConstants& c, int lastCarrierBin) {
    int count = 0;
    for (int bin = c.firstCarrierBin; bin <= lastCarrierBin; bin += c.carrierStride) {
        for (int symbol = 2; symbol <= c.symbolLimit; ++symbol) {
            count += pilotMap(symbol, bin) ? 1 : 0;
        }
    }
    return count;
}

constexpr ModeRecord buildModeRecord(int mode) {
    const ModeConstants& c = kModeConstants[static_cast<std::size_t>(mode)];
    ModeRecord r{};
    r.modeFamily = c.family;
    r.bitsPerCell = c.bitsPerCell;
    r.turboConstraint = 4;
    r.codeRateIndex = c.codeRateIndex;
    r.encoderKind = 1;
    r.symbolLimit = c.symbolLimit;
    r.outerParityFraction = 0.0f;
    r.snrThreshold = c.snrThresholdDb;
    r.snrThresholdAdjusted = c.snrThresholdDb - crestLevelOffsetDb(c.crestDb);
    r.headerSymbols = c.headerSymbols;
    r.carrierStride = c.carrierStride;
    r.firstCarrierBin = c.firstCarrierBin;
    r.carriers = c.carriers;
    r.amplitudeDivisor = c.amplitudeDivisor;
    r.speedLevel = static_cast<std::uint8_t>(mode == 0 || mode == 14 ? 1 : mode);
    r.crestDb = c.crestDb;
    r.guardFraction = c.guardFraction;
    r.processingDelayMs = c.processingDelayMs;
    r.qamCorrection = c.qamCorrection;
    r.binsPerSymbol = c.binsPerSymbol;

    const double guard = static_cast<double>(c.guardFraction);
    const double bins = c.binsPerSymbol;
    r.transformSize = static_cast<std::int16_t>(roundHalfEven(bins * 48000.0 / 3000.0));
    r.symbolLength = static_cast<std::int32_t>(roundHalfEven((guard + 1.0) * r.transformSize));
    r.guardLength = r.symbolLength - r.transformSize;
    r.symbolMs = static_cast<std::int32_t>(roundHalfEven((guard + 1.0) * 1000.0 / (3000.0 / bins)));
    r.guardEighths = static_cast<std::uint8_t>(roundHalfEven((guard + 1.0) * 8.0));
    r.leadInSymbols = static_cast<std::uint8_t>(roundHalfEven(180.0 / r.symbolMs));
    r.crossfadeLength = static_cast<std::uint8_t>(r.transformSize * 2 / c.binsPerSymbol);
    r.carrierSpacing = static_cast<float>(3000.0 / bins);
    r.binGroups = static_cast<std::uint8_t>(c.binsPerSymbol / 16);
    // Enough symbol periods to drain 200 queued playback buffers of 256 samples.
    r.tailSymbols = static_cast<std::int16_t>((256 * 200 + r.symbolLength - 1) / r.symbolLength);

    if (c.family == Family::Robust) {
        r.firstToneBin = c.firstToneBin;
        r.lastToneBin = c.lastToneBin;
        r.toneBins = static_cast<std::uint8_t>(c.lastToneBin - c.firstToneBin + 1);
        r.toneGroups = static_cast<std::uint8_t>((1 << c.bitsPerCell) / 8);
    }

    r.lastCarrierBin =
        static_cast<std::uint8_t>((c.carriers - 1) * c.carrierStride + c.firstCarrierBin);
    const bool pilots = c.family == Family::MultiCarrier && c.bitsPerCell > 3;
    r.pilotCells = static_cast<std::int16_t>(pilots ? countPilotCells(c, r.lastCarrierBin) : 0);
    r.reservedCells = static_cast<std::int16_t>(c.carriers * c.headerSymbols + r.pilotCells);

    // Differential modes spend their first symbol on the phase reference.
    const int usableSymbols = r.pilotCells == 0 && c.family == Family::MultiCarrier
                                  ? c.symbolLimit - 2
                                  : c.symbolLimit - 1;
    r.dataCells = static_cast<std::int16_t>(c.carriers * usableSymbols - r.reservedCells);
    r.codedBits = r.dataCells * c.bitsPerCell;
    r.infoBits = turboCapacity(r.codedBits, r.turboConstraint, r.codeRateIndex);
    r.infoBytes = static_cast<std::int16_t>(r.infoBits / 8);

    const int blocks = (r.infoBytes + 254) / 255;
    const int length = r.infoBytes / blocks;
    int parity = static_cast<int>(length * static_cast<double>(r.outerParityFraction));
    parity += parity % 2;
    r.outerLayout.blocks = static_cast<std::uint8_t>(blocks);
    r.outerLayout.parityBytesPerBlock = static_cast<std::uint8_t>(parity);
    r.outerLayout.dataBytesPerBlock = static_cast<std::uint8_t>(length - parity);
    r.outerLayout.codedBytes =
        static_cast<std::int16_t>(parity == 0 ? r.infoBytes : blocks * length);
    r.outerLayout.netBytes =
        static_cast<std::int16_t>(parity == 0 ? r.infoBytes : blocks * (length - parity));
    r.netBytes = r.outerLayout.netBytes;
    r.userBytes = static_cast<std::int16_t>(r.netBytes - 3);

    const double frameSymbols = c.symbolLimit - 1;
    r.netBitRate = static_cast<std::int16_t>(roundHalfEven(
        r.netBytes * static_cast<double>(r.carrierSpacing) * 8.0 / (frameSymbols * (guard + 1.0))));
    r.frameLengthUnits =
        static_cast<std::int16_t>((c.symbolLimit - 1) * r.binGroups * r.guardEighths);
    for (int i = 1; i <= kCheckpointCount; ++i) {
        r.checkpoints[static_cast<std::size_t>(i - 1)] = (2 * i - 1) * r.frameLengthUnits / 20;
    }
    // A two-frame exchange: both frames, the acknowledgement (4 x 31 baseband blocks) and 0.48 s
    // of turn-around.
    const double t1 = (16.0 / 3000.0) * 2.0 * r.binGroups * frameSymbols;
    const double t2 = (16.0 / 3000.0) * 4.0 * 31.0;
    r.throughput = static_cast<std::int16_t>(
        roundHalfEven(r.userBytes * 2.0 * 8.0 / (t1 * (guard + 1.0) + t2 + 0.48)));
    return r;
}

constexpr std::array<ModeRecord, kModeCount> buildModeTable() {
    std::array<ModeRecord, kModeCount> table{};
    for (int mode = 0; mode < kModeCount; ++mode) {
        table[static_cast<std::size_t>(mode)] = buildModeRecord(mode);
    }
    // The robust modes 0 and 14 report the rate of mode 1, their sibling on the same tones.
    table[0].netBitRate = table[1].netBitRate;
    table[14].netBitRate = table[1].netBitRate;
    return table;
}

}  // namespace detail

inline constexpr std::array<ModeRecord, kModeCount> kModeTable = detail::buildModeTable();

constexpr const ModeRecord& modeRecord(int mode) {
    return kModeTable[static_cast<std::size_t>(mode)];
}

// The constant tables must fit the 32000-sample receive rings and the tone alphabet.
static_assert([] {
    for (const auto& c : detail::kModeConstants) {
        if (c.symbolLimit * c.binsPerSymbol * (1.0 + c.guardFraction) > 32000.0) {
            return false;
        }
        if (c.family == Family::Robust && c.bitsPerCell < 3) {
            return false;
        }
    }
    return true;
}());

// kFftShareMode[m], m = 1..14: the lowest mode >= 1 with the same transform size, whose receive
// FFT frames mode m reuses. Entry 0 is not used and holds 0.
inline constexpr std::array<std::uint8_t, kModeCount> kFftShareMode = [] {
    std::array<std::uint8_t, kModeCount> share{};
    for (int m = 1; m < kModeCount; ++m) {
        for (int i = 1; i <= m; ++i) {
            if (kModeTable[static_cast<std::size_t>(i)].binsPerSymbol ==
                kModeTable[static_cast<std::size_t>(m)].binsPerSymbol) {
                share[static_cast<std::size_t>(m)] = static_cast<std::uint8_t>(i);
                break;
            }
        }
    }
    return share;
}();

// The lowest mode with scattered pilots (coherent QAM).
inline constexpr int kFirstPilotMode = [] {
    for (int m = 0; m < kModeCount; ++m) {
        const auto& r = kModeTable[static_cast<std::size_t>(m)];
        if (r.modeFamily == Family::MultiCarrier && r.bitsPerCell > 3) {
            return m;
        }
    }
    return kModeCount;
}();

// Tone-block signals (calls, pings) use 1024-sample blocks: 50 silent blocks drain the playback
// queue, and the 180 ms lead-in rounds to 8 blocks.
inline constexpr int kToneBlockTailBlocks = 50;
inline constexpr int kToneBlockLeadInBlocks =
    static_cast<int>(detail::roundHalfEven(180.0 / (1024.0 * 1000.0 / 48000.0)));
static_assert(kToneBlockLeadInBlocks == 8);

}  // namespace zolk
