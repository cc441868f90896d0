#include "phy/tx/frame_modulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "phy/common/constellation.h"
#include "phy/common/mode_index.h"
#include "phy/fec/mode_fec.h"
#include "phy/fec/turbo_encoder.h"

namespace zolk {

namespace {

int largest(auto field) {
    int n = 0;
    for (const ModeRecord& r : kModeTable) {
        n = std::max(n, static_cast<int>(field(r)));
    }
    return n;
}

Complex point(int value, int bitsPerCell) {
    return kConstellationTable[static_cast<std::size_t>(value)]
                              [static_cast<std::size_t>(bitsPerCell - 1)];
}

// Tone bin for a hop base and a tone value, wrapped into the tone band in 8-bit arithmetic as
// both stations compute it.
int toneBin(const ModeRecord& r, int base, int value) {
    const auto offset =
        static_cast<std::uint8_t>(static_cast<std::uint8_t>(base + value) - r.firstToneBin);
    return static_cast<std::uint8_t>(offset % r.toneBins + r.firstToneBin);
}

}  // namespace

FrameModulator::FrameModulator(const DrawnTables& drawn, const TablesFile& tables,
                               RandomSource& random, TxCells& cells)
    : m_drawn(drawn),
      m_tables(tables),
      m_random(random),
      m_cells(cells),
      m_infoBits(static_cast<std::size_t>(largest([](const ModeRecord& r) { return r.infoBits; }))),
      m_codedBits(
          static_cast<std::size_t>(largest([](const ModeRecord& r) { return r.codedBits; }))),
      m_cellBits(m_codedBits.size()) {}

void FrameModulator::modulateFrame(int mode, std::span<const std::uint8_t> frame, int slot) {
    const ModeRecord& r = modeRecord(ModeIndex(mode));
    if (slot != 1 && slot != 2) {
        throw std::invalid_argument("frame slot must be 1 or 2");
    }
    if (frame.size() != static_cast<std::size_t>(r.netBytes)) {
        throw std::invalid_argument("a frame of mode " + std::to_string(mode) + " holds " +
                                    std::to_string(r.netBytes) + " bytes, not " +
                                    std::to_string(frame.size()));
    }
    encode(mode, frame);
    clear(r, slot);
    const SlotRange range = slot == 1 ? SlotRange{2, r.symbolLimit}
                                      : SlotRange{r.symbolLimit + 1, 2 * r.symbolLimit - 1};
    m_bitPointer = 0;
    if (r.modeFamily == Family::MultiCarrier) {
        modulateCarrierFrame(mode, range);
    } else {
        modulateToneFrame(mode, range);
    }
    if (m_bitPointer != r.codedBits) {
        throw std::logic_error("mode " + std::to_string(mode) + " cells carried " +
                               std::to_string(m_bitPointer) + " of " + std::to_string(r.codedBits) +
                               " coded bits");
    }
}

// The common bit chain: outer stage (a plain copy in every mode), bits most significant first,
// whitening, turbo code, bit interleaver.
void FrameModulator::encode(int mode, std::span<const std::uint8_t> frame) {
    const ModeRecord& r = modeRecord(mode);
    const auto info = std::span(m_infoBits).first(static_cast<std::size_t>(r.infoBits));
    const auto coded = std::span(m_codedBits).first(static_cast<std::size_t>(r.codedBits));
    const auto cellBits = std::span(m_cellBits).first(coded.size());
    std::fill(info.begin(), info.end(), std::uint8_t{0});
    for (int i = 0; i < 8 * r.infoBytes; ++i) {
        info[i] = (frame[i / 8] >> (7 - i % 8)) & 1;
    }
    const auto whitening = m_drawn.pseudoRandomBits();
    for (std::size_t i = 0; i < info.size(); ++i) {
        info[i] ^= whitening[i];
    }
    const FecConfig config = fecConfigForMode(mode, m_tables, whitening);
    turboEncode(info, config, coded);
    interleaveBits(coded, config.bitInterleaver, cellBits);
}

int FrameModulator::readCell(int bitsPerCell) {
    int value = 0;
    for (int j = 0; j < bitsPerCell; ++j) {
        value = (value << 1) | m_cellBits[static_cast<std::size_t>(m_bitPointer + j)];
    }
    m_bitPointer += bitsPerCell;
    return value;
}

// Slot 1 also clears the first symbol of slot 2, which is why slot 2 must come second.
void FrameModulator::clear(const ModeRecord& r, int slot) {
    const int from = slot == 1 ? 1 : r.symbolLimit + 1;
    const int to = slot == 1 ? r.symbolLimit + 1 : 2 * r.symbolLimit;
    for (int symbol = from; symbol <= to; ++symbol) {
        std::fill_n(m_cells.frameSymbol(symbol).begin(), r.binsPerSymbol, Complex{});
    }
    for (int l = 1; l <= r.leadInSymbols; ++l) {
        std::fill_n(m_cells.leadInSymbol(l).begin(), r.binsPerSymbol, Complex{});
    }
}

void FrameModulator::modulateCarrierFrame(int mode, SlotRange range) {
    const ModeRecord& r = modeRecord(mode);
    const int bits = r.bitsPerCell;
    const int largestValue = (1 << bits) - 1;
    const bool pilots = r.pilotCells > 0;
    for (int b = r.firstCarrierBin; b <= r.lastCarrierBin; b += r.carrierStride) {
        for (int l = 1; l <= r.leadInSymbols; ++l) {
            m_cells.leadInSymbol(l)[b] = point(m_random.draw(largestValue), bits);
        }
    }
    // The running value carries over from one carrier to the next; the differential modes
    // reset it with their reference cell at the start of every carrier.
    const ModeTables& tables = m_tables[mode];
    Complex v{};
    for (int c = 0; c < r.carriers; ++c) {
        const int b = r.firstCarrierBin + c * r.carrierStride;
        for (int i = range.first; i <= range.last; ++i) {
            const int d = i - range.first;
            if (!pilots && i == range.first) {
                v = point(0, bits);
            } else if (pilots && pilotMap(d + 2, b)) {
                v = Complex{1.0f, 0.0f};
            } else {
                switch (tables.headerCell(d + 2, c)) {
                    case 0:
                        v = pilots ? point(readCell(bits), bits)
                                   : complexMul(v, point(readCell(bits), bits));
                        break;
                    case 1:
                        v = complexNormalize(v);
                        break;
                    default:
                        break;
                }
            }
            m_cells.frameCell(b, i) = complexMul(v, complexConj(m_drawn.cellPhaseTable(b, d)));
        }
    }
}

void FrameModulator::modulateToneFrame(int mode, SlotRange range) {
    const ModeRecord& r = modeRecord(mode);
    const int bits = r.bitsPerCell;
    const int largestValue = (1 << bits) - 1;
    const Complex w{0.0f, -1.0f};
    const double phaseStep = static_cast<double>(r.guardFraction) * 2.0 * std::numbers::pi;
    const ModeTables& tables = m_tables[mode];
    for (int j = 0; j < r.carriers; ++j) {
        double phase = 0.0;
        const auto tone = [&](int bin) {
            phase += phaseStep * bin;
            return complexMul(w, Complex{static_cast<float>(std::cos(phase)),
                                         static_cast<float>(std::sin(phase))});
        };
        // Lead-in symbol l hops like frame symbol l + 2.
        for (int l = 1; l <= r.leadInSymbols; ++l) {
            const int bin = toneBin(r, tables.streamHop(l + 2, j), m_random.draw(largestValue));
            m_cells.leadInSymbol(l)[bin] = tone(bin);
        }
        for (int i = range.first; i <= range.last; ++i) {
            const int d = i - range.first;
            const int value =
                tables.streamToneA(d + 2, j) != 0
                    ? tables.streamToneB(d + 2, j)
                    : kGrayTable[static_cast<std::size_t>((bits - 2) * 16 + readCell(bits))];
            const int bin = toneBin(r, tables.streamHop(d + 2, j), value);
            m_cells.frameCell(bin, i) = tone(bin);
        }
    }
}

}  // namespace zolk
