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
    const int symbols = r.SymbolLimit - 1;
    const int first = r.ModeFamily == Family::MultiCarrier ? 3 : 2;
    const int span = (r.SymbolLimit - first + 1) / r.HeaderSymbols;
    const auto pick = [&](int segment, int bin) {
        for (;;) {
            const int s = first + segment * span + static_cast<int>(random() % static_cast<unsigned>(span));
            if (!(r.PilotCells > 0 && PilotMap(s, bin))) return s;
        }
    };
    t.BitInterleaver.resize(static_cast<std::size_t>(r.CodedBits));
    std::iota(t.BitInterleaver.begin(), t.BitInterleaver.end(), std::uint16_t{0});
    if (r.ModeFamily == Family::MultiCarrier) {
        t.HeaderCellMap.assign(static_cast<std::size_t>(r.Carriers * symbols), 0);
        for (int c = 0; c < r.Carriers; ++c) {
            const int bin = r.FirstCarrierBin + c * r.CarrierStride;
            for (int n = 0; n < r.HeaderSymbols; ++n) {
                const int s = pick(n, bin);
                t.HeaderPositions.push_back(static_cast<std::int16_t>(s));
                t.HeaderCellMap[static_cast<std::size_t>(c * symbols + s - 2)] = 1;
            }
        }
    } else {
        for (int s = 2; s <= r.SymbolLimit; ++s) {
            const int hop = r.FirstToneBin + static_cast<int>(random() % r.ToneBins);
            for (int j = 0; j < r.Carriers; ++j) {
                const int offset = j * r.ToneBins / r.Carriers;
                t.StreamHop.push_back(static_cast<std::uint8_t>(
                    r.FirstToneBin + (hop - r.FirstToneBin + offset) % r.ToneBins));
            }
        }
        t.StreamToneA.assign(static_cast<std::size_t>(r.Carriers * symbols), 0);
        t.StreamToneB.assign(static_cast<std::size_t>(r.Carriers * symbols), 0);
        for (int j = 0; j < r.Carriers; ++j) {
            for (int n = 0; n < r.HeaderSymbols; ++n) {
                const int s = pick(n, 0);
                t.StreamHeaderCells.push_back(static_cast<std::int16_t>(s));
                const auto cell = static_cast<std::size_t>(j * symbols + s - 2);
                t.StreamToneA[cell] = 1;
                t.StreamToneB[cell] = static_cast<std::uint8_t>((random() % 8) * r.ToneGroups);
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
    const int bits = r.BitsPerCell;
    const auto point = [&](int value) {
        return ConstellationTable[static_cast<std::size_t>(value)][static_cast<std::size_t>(bits - 1)];
    };
    CarrierFrame f;
    f.cells.assign(639 * 64, Complex{});
    Complex v{};
    for (int c = 0, o = r.FirstCarrierBin; o <= r.LastCarrierBin; ++c, o += r.CarrierStride) {
        for (int s = 2; s <= r.SymbolLimit; ++s) {
            if (r.PilotCells == 0 && s == 2) {
                v = point(0);
            } else if (r.PilotCells > 0 && PilotMap(s, o)) {
                v = {1.0f, 0.0f};
            } else if (t.headerCell(s, c) == 1) {
                v = ComplexNormalize(v);
            } else {
                const int value = static_cast<int>(random() % (1u << bits));
                f.values.push_back(value);
                f.points.push_back(point(value));
                v = r.PilotCells > 0 ? point(value) : ComplexMul(v, point(value));
            }
            f.cells[static_cast<std::size_t>((s - 2) * 64 + o)] = v;
        }
    }
    return f;
}

// Bit j (0 = most significant) of a value of `bits` bits.
inline int bitOf(int value, int bits, int j) { return (value >> (bits - 1 - j)) & 1; }

}  // namespace zolk::test
