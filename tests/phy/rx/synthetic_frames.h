// synthetic_frames.h: per-mode cell tables and frame cells built in the tests, so the receivers
// can be checked against known values without the tables file or the modulator.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/constellation.h"
#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"

namespace zolk::test {

// Header cells one per equal segment of [first, SymbolLimit], never on a pilot of a pilot mode.
inline ModeTables syntheticTables(int mode, std::uint32_t seed) {
    std::mt19937 random(seed);
    ModeTables t;
    t.mode = mode;
    const ModeRecord& r = modeRecord(mode);
    const int symbols = r.symbolLimit - 1;
    const int first = r.modeFamily == Family::MultiCarrier ? 3 : 2;
    const int span = (r.symbolLimit - first + 1) / r.headerSymbols;
    const auto pick = [&](int segment, int bin) {
        for (;;) {
            const int s = first + segment * span + static_cast<int>(random() % static_cast<unsigned>(span));
            if (!(r.pilotCells > 0 && pilotMap(s, bin))) return s;
        }
    };
    t.bitInterleaver.resize(static_cast<std::size_t>(r.codedBits));
    std::iota(t.bitInterleaver.begin(), t.bitInterleaver.end(), std::uint16_t{0});
    if (r.modeFamily == Family::MultiCarrier) {
        t.headerCellMap.assign(static_cast<std::size_t>(r.carriers * symbols), 0);
        for (int c = 0; c < r.carriers; ++c) {
            const int bin = r.firstCarrierBin + c * r.carrierStride;
            for (int n = 0; n < r.headerSymbols; ++n) {
                const int s = pick(n, bin);
                t.headerPositions.push_back(static_cast<std::int16_t>(s));
                t.headerCellMap[static_cast<std::size_t>(c * symbols + s - 2)] = 1;
            }
        }
    } else {
        for (int s = 2; s <= r.symbolLimit; ++s) {
            const int hop = r.firstToneBin + static_cast<int>(random() % r.toneBins);
            for (int j = 0; j < r.carriers; ++j) {
                const int offset = j * r.toneBins / r.carriers;
                t.streamHops.push_back(static_cast<std::uint8_t>(
                    r.firstToneBin + (hop - r.firstToneBin + offset) % r.toneBins));
            }
        }
        t.streamTonesA.assign(static_cast<std::size_t>(r.carriers * symbols), 0);
        t.streamTonesB.assign(static_cast<std::size_t>(r.carriers * symbols), 0);
        for (int j = 0; j < r.carriers; ++j) {
            for (int n = 0; n < r.headerSymbols; ++n) {
                const int s = pick(n, 0);
                t.streamHeaderCells.push_back(static_cast<std::int16_t>(s));
                const auto cell = static_cast<std::size_t>(j * symbols + s - 2);
                t.streamTonesA[cell] = 1;
                t.streamTonesB[cell] = static_cast<std::uint8_t>((random() % 8) * r.toneGroups);
            }
        }
    }
    return t;
}

// The unscrambled cells v[symbol - 2][bin] of a multi-carrier frame as the transmitter forms them
// (phase reference, pilots, header repeats, differential or coherent data), and the data values
// in bit order.
struct CarrierFrame {
    std::vector<Complex> cells;      // 639 x 64
    std::vector<int> values;         // one per data cell
    std::vector<Complex> points;     // the constellation point of each data cell
};

inline CarrierFrame syntheticCarrierFrame(const ModeTables& t, std::uint32_t seed) {
    std::mt19937 random(seed);
    const ModeRecord& r = t.record();
    const int bits = r.bitsPerCell;
    const auto point = [&](int value) {
        return kConstellationTable[static_cast<std::size_t>(value)]
                                  [static_cast<std::size_t>(bits - 1)];
    };
    CarrierFrame f;
    f.cells.assign(639 * 64, Complex{});
    Complex v{};
    for (int c = 0, o = r.firstCarrierBin; o <= r.lastCarrierBin; ++c, o += r.carrierStride) {
        for (int s = 2; s <= r.symbolLimit; ++s) {
            if (r.pilotCells == 0 && s == 2) {
                v = point(0);
            } else if (r.pilotCells > 0 && pilotMap(s, o)) {
                v = {1.0f, 0.0f};
            } else if (t.headerCell(s, c) == 1) {
                v = complexNormalize(v);
            } else {
                const int value = static_cast<int>(random() % (1u << bits));
                f.values.push_back(value);
                f.points.push_back(point(value));
                v = r.pilotCells > 0 ? point(value) : complexMul(v, point(value));
            }
            f.cells[static_cast<std::size_t>((s - 2) * 64 + o)] = v;
        }
    }
    return f;
}

// Bit j (0 = most significant) of a value of `bits` bits.
inline int bitOf(int value, int bits, int j) { return (value >> (bits - 1 - j)) & 1; }

}  // namespace zolk::test
