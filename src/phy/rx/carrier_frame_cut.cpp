#include "phy/rx/carrier_frame_cut.h"

#include <array>

#include "phy/common/numeric.h"
#include "phy/rx/carrier_demodulator.h"

namespace zolk {

std::vector<std::int16_t> headerTurnSymbols(const ModeTables& tables) {
    const ModeRecord& r = tables.record();
    std::vector<bool> read(static_cast<std::size_t>(r.symbolLimit) + 1);
    for (int c = 0; c < r.carriers; ++c) {
        for (int j = 3; j <= r.symbolLimit; ++j) {
            if (tables.headerCell(j, c) == 1) {
                read[static_cast<std::size_t>(j) - 1] = true;
                read[static_cast<std::size_t>(j)] = true;
            }
        }
    }
    std::vector<std::int16_t> symbols;
    for (int j = 2; j <= r.symbolLimit; ++j) {
        if (read[static_cast<std::size_t>(j)]) symbols.push_back(static_cast<std::int16_t>(j));
    }
    return symbols;
}

HeaderTurnSymbols::HeaderTurnSymbols(const TablesFile& tables) {
    for (int mode = 0; mode < kModeCount; ++mode) {
        if (modeRecord(mode).modeFamily == Family::MultiCarrier)
            m_symbols[static_cast<std::size_t>(mode)] = headerTurnSymbols(tables[mode]);
    }
}

// The detection's timing and error come from uncorrected FFT frames, which a large carrier error
// blurs (0.3 bin at 15 Hz in the 64-bin modes spreads the carriers into each other). So the frame
// is cut corrected at the detected timing and one and two FFT frame steps either side, and the cut
// whose header cells agree best is kept. FFT frames lie one step (8 samples in the 64-bin modes)
// apart, as far as the whole guard, while an echo leaves only the part of the guard beyond its
// delay free of the neighbouring symbols (2 of 8 samples behind a 2 ms echo): the cuts at every
// sample within a step of the best are compared too, each by its Mer with its two neighbours', so
// the middle of the clean stretch wins over a lucky single cut; the cuts compared transform only
// the symbols the header cells read. The error the header cells still show is removed by a last,
// whole cut.
CarrierCut cutCarrierFrame(ReceiveFrontEnd& frontEnd, const ModeTables& tables,
                           std::span<const std::int16_t> turnSymbols, std::uint32_t p,
                           float shiftHz) {
    const ModeRecord& r = tables.record();
    const long step = r.binsPerSymbol / 8;
    const auto cutAt = [&](long offset) {
        const long ring = static_cast<long>(kRingLength);
        return static_cast<std::uint32_t>(((static_cast<long>(p) + offset) % ring + ring) % ring);
    };
    // One corrected copy of the ring serves every cut compared.
    frontEnd.familyOneCorrectedReExtraction(tables.mode, p, -shiftHz);
    const auto merAt = [&](long offset) {
        frontEnd.familyOneReCut(tables.mode, cutAt(offset), turnSymbols);
        return headerMer(tables, frontEnd.frameSymbolStore());
    };
    long coarse = 0;
    float coarseMer = kNoValue;
    for (long k = -2; k <= 2; ++k) {
        const float mer = merAt(k * step);
        if (mer > coarseMer) {
            coarseMer = mer;
            coarse = k * step;
        }
    }
    std::array<float, 2 * kMaxBins / 8 + 1> fine{};  // offsets coarse - step .. coarse + step
    for (long d = -step; d <= step; ++d) {
        fine[static_cast<std::size_t>(d + step)] = d == 0 ? coarseMer : merAt(coarse + d);
    }
    long best = coarse;
    float bestSum = kNoValue;
    for (long d = 1 - step; d <= step - 1; ++d) {
        const auto i = static_cast<std::size_t>(d + step);
        const float sum = fine[i - 1] + fine[i] + fine[i + 1];
        if (sum > bestSum) {
            bestSum = sum;
            best = coarse + d;
        }
    }
    frontEnd.familyOneReCut(tables.mode, cutAt(best), turnSymbols);
    const float refined = shiftHz + residualFrequencyShift(tables, frontEnd.frameSymbolStore());
    frontEnd.familyOneCorrectedReExtraction(tables.mode, cutAt(best), -refined);
    return {cutAt(best), refined};
}

}  // namespace zolk
