#include "phy/common/tables_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace zolk {
namespace {

std::vector<std::uint16_t> fisherYates(int size, RandomSource& random) {
    std::vector<std::uint16_t> p(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) p[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i);
    for (int i = size - 1; i > 0; --i) {
        std::swap(p[static_cast<std::size_t>(i)], p[static_cast<std::size_t>(random.draw(i))]);
    }
    return p;
}

// One construction attempt at spread s. Values are placed position by position, each a random
// remaining value that keeps its distance from the previous s; when none is left that fits, a
// remaining value is swapped in at an earlier position where both fit. The attempt stalls only
// when no such swap exists either.
class SRandomAttempt {
public:
    SRandomAttempt(int size, int s, RandomSource& random)
        : m_size(size), m_s(s), m_random(random), m_blocked(index(size), 0), m_perm(index(size)) {
        m_pool.reserve(index(size));
        for (int v = 0; v < size; ++v) m_pool.push_back(v);
    }

    std::optional<std::vector<std::uint16_t>> run() {
        for (int i = 0; i < m_size; ++i) {
            const int remaining = m_size - i;
            const int start = m_random.draw(remaining - 1);
            int chosen = -1;
            for (int k = 0; k < remaining && chosen < 0; ++k) {
                const int at = (start + k) % remaining;
                if (m_blocked[index(m_pool[index(at)])] == 0) chosen = at;
            }
            if (chosen >= 0) {
                place(i, takeFromPool(chosen, remaining));
            } else if (!swapIn(i, remaining)) {
                return std::nullopt;
            }
            if (i - m_s >= 0) block(m_perm[index(i - m_s)], -1);
        }
        return m_perm;
    }

private:
    static std::size_t index(int i) { return static_cast<std::size_t>(i); }

    int takeFromPool(int at, int remaining) {
        const int value = m_pool[index(at)];
        m_pool[index(at)] = m_pool[index(remaining - 1)];
        m_pool.pop_back();
        return value;
    }

    void place(int i, int value) {
        m_perm[index(i)] = static_cast<std::uint16_t>(value);
        block(value, +1);
    }

    // blocked[v] counts the placed values of the current window lying within s of v.
    void block(int v, int delta) {
        for (int u = std::max(0, v - m_s); u <= std::min(m_size - 1, v + m_s); ++u) {
            m_blocked[index(u)] += delta;
        }
    }

    // Whether value keeps its distance at position pos from positions 0..filled-1, reading the
    // value at position swapped as swappedValue.
    bool fits(int value, int pos, int filled, int swapped, int swappedValue) const {
        for (int j = std::max(0, pos - m_s); j <= std::min(filled - 1, pos + m_s); ++j) {
            if (j == pos) continue;
            const int other = j == swapped ? swappedValue : m_perm[index(j)];
            if (std::abs(value - other) <= m_s) return false;
        }
        return true;
    }

    // Position i is stuck: move some earlier value u to i and put a remaining value v in its place.
    bool swapIn(int i, int remaining) {
        if (i == 0) return false;
        const int firstValue = m_random.draw(remaining - 1);
        const int firstPosition = m_random.draw(i - 1);
        for (int n = 0; n < remaining; ++n) {
            const int at = (firstValue + n) % remaining;
            const int v = m_pool[index(at)];
            for (int m = 0; m < i; ++m) {
                const int k = (firstPosition + m) % i;
                const int u = m_perm[index(k)];
                if (!fits(v, k, i, k, v) || !fits(u, i, i, k, v)) continue;
                takeFromPool(at, remaining);
                m_perm[index(k)] = static_cast<std::uint16_t>(v);
                if (k >= i - m_s) {
                    block(u, -1);
                    block(v, +1);
                }
                place(i, u);
                return true;
            }
        }
        return false;
    }

    int m_size;
    int m_s;
    RandomSource& m_random;
    std::vector<int> m_pool;
    std::vector<int> m_blocked;
    std::vector<std::uint16_t> m_perm;
};

// One header symbol in each of count equal segments of first..last, never where excluded.
template <typename Excluded>
std::vector<std::int16_t> segmentedHeaders(int first, int last, int count, RandomSource& random,
                                           Excluded excluded) {
    const int span = last - first + 1;
    std::vector<std::int16_t> headers;
    std::vector<int> candidates;
    for (int n = 0; n < count; ++n) {
        candidates.clear();
        for (int symbol = first + n * span / count; symbol < first + (n + 1) * span / count;
             ++symbol) {
            if (!excluded(symbol)) candidates.push_back(symbol);
        }
        const int pick = random.draw(static_cast<int>(candidates.size()) - 1);
        headers.push_back(static_cast<std::int16_t>(candidates[static_cast<std::size_t>(pick)]));
    }
    return headers;
}

void generateMultiCarrier(ModeTables& t, const ModeRecord& r, RandomSource& random) {
    const int symbols = r.symbolLimit - 1;
    t.headerCellMap.assign(static_cast<std::size_t>(symbols * r.carriers), 0);
    for (int c = 0; c < r.carriers; ++c) {
        const int bin = r.firstCarrierBin + c * r.carrierStride;
        const auto headers =
            segmentedHeaders(3, r.symbolLimit, r.headerSymbols, random,
                             [&](int symbol) { return r.pilotCells > 0 && pilotMap(symbol, bin); });
        for (const auto symbol : headers) {
            t.headerPositions.push_back(symbol);
            t.headerCellMap[static_cast<std::size_t>(c * symbols + symbol - 2)] = 1;
        }
    }
}

void generateRobust(ModeTables& t, const ModeRecord& r, RandomSource& random) {
    const int symbols = r.symbolLimit - 1;
    // Streams sit a fixed fraction of the band apart, so they never share a bin.
    for (int d = 0; d < symbols; ++d) {
        const int offset = random.draw(r.toneBins - 1);
        for (int s = 0; s < r.carriers; ++s) {
            const int shifted = (offset + s * r.toneBins / r.carriers) % r.toneBins;
            t.streamHops.push_back(static_cast<std::uint8_t>(r.firstToneBin + shifted));
        }
    }
    t.streamTonesA.assign(static_cast<std::size_t>(symbols * r.carriers), 0);
    t.streamTonesB.assign(static_cast<std::size_t>(symbols * r.carriers), 0);
    const int knownValues = (1 << r.bitsPerCell) / r.toneGroups;
    for (int s = 0; s < r.carriers; ++s) {
        const auto headers =
            segmentedHeaders(2, r.symbolLimit, r.headerSymbols, random, [](int) { return false; });
        for (const auto symbol : headers) {
            t.streamHeaderCells.push_back(symbol);
            const auto at = static_cast<std::size_t>(s * symbols + symbol - 2);
            t.streamTonesA[at] = 1;
            t.streamTonesB[at] =
                static_cast<std::uint8_t>(r.toneGroups * random.draw(knownValues - 1));
        }
    }
}

}  // namespace

std::vector<std::uint16_t> sRandomPermutation(int size, RandomSource& random, int& spread) {
    spread = static_cast<int>(std::floor(std::sqrt(size / 2.0)));
    for (;; --spread) {
        if (auto perm = SRandomAttempt(size, spread, random).run()) return *perm;
    }
}

int measuredSpread(const std::vector<std::uint16_t>& perm) {
    // The property fails at S exactly when some pair has both its distance in position and its
    // distance in value at most S; the smallest such bound over all pairs, less one, is reached.
    const std::size_t size = perm.size();
    std::size_t bound = size;
    for (std::size_t i = 0; i < size; ++i) {
        for (std::size_t j = i + 1; j < size && j - i < bound; ++j) {
            const auto valueGap = static_cast<std::size_t>(std::abs(perm[i] - perm[j]));
            bound = std::min(bound, std::max(j - i, valueGap));
        }
    }
    return static_cast<int>(bound) - 1;
}

GeneratedTables generateTables() {
    GeneratedTables generated;
    RandomSource random;
    for (int mode = 0; mode < kModeCount; ++mode) {
        const ModeRecord& r = modeRecord(mode);
        ModeTables& t = generated.tables.modes[static_cast<std::size_t>(mode)];
        t.mode = mode;
        random.reset();
        random.seed(1000 + mode);
        t.bitInterleaver = fisherYates(r.codedBits, random);
        t.turboInterleaver = sRandomPermutation(
            r.infoBits, random, generated.turboSpread[static_cast<std::size_t>(mode)]);
        if (r.modeFamily == Family::Robust) {
            generateRobust(t, r, random);
        } else {
            generateMultiCarrier(t, r, random);
        }
    }
    return generated;
}

}  // namespace zolk
