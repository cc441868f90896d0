#include "session/speed_adaptation.h"

#include <algorithm>
#include <cmath>

#include "phy/common/mode_table.h"

namespace zolk {
namespace {

// Fewer measurements make the lowest of them a less safe estimate.
constexpr std::array<float, 5> kPenaltyDb = {4.0f, 4.0f, 2.5f, 1.5f, 0.0f};

int dataMode(int mode) { return mode == 0 || mode == 14 ? 1 : mode; }

float throughput(int mode) { return static_cast<float>(modeRecord(mode).throughput); }

}  // namespace

void SpeedAdaptation::addSnr(float snrDb) {
    for (std::size_t i = m_lastDb.size() - 1; i > 0; --i) m_lastDb[i] = m_lastDb[i - 1];
    m_lastDb[0] = snrDb;
    m_count = std::min(m_count + 1, 4);
}

float SpeedAdaptation::estimateDb() const {
    return *std::min_element(m_lastDb.begin(), m_lastDb.end());
}

std::array<float, 5> SpeedAdaptation::margins(int mode) const {
    std::array<float, 5> result{};
    const float estimate = estimateDb();
    const float penalty = kPenaltyDb[static_cast<std::size_t>(m_count)];
    for (int i = 0; i <= 4; ++i) {
        const int m = mode + i;
        result[static_cast<std::size_t>(i)] =
            m > kTopDataMode || m < 1
                ? -100.0f
                : estimate - threshold(m) - m_offsetDb[index(m)] - penalty;
    }
    if (m_loss) {
        result[3] = 0.0f;
        result[4] = 0.0f;
        if (mode + 2 >= kFirstPilotMode) result[2] = 0.0f;
    }
    return result;
}

int SpeedAdaptation::startingMode() const {
    const auto margin = margins(1);
    for (int mode = 5; mode >= 2; --mode)
        if (margin[static_cast<std::size_t>(mode - 1)] > 0.0f) return mode;
    return 1;
}

void SpeedAdaptation::goodFrame(int mode, bool learnIt) {
    if (learnIt) learn(dataMode(mode), true);
}

void SpeedAdaptation::lostFrame(int mode, bool learnIt) {
    m_loss = true;
    const int m = dataMode(mode);
    float pseudo = threshold(m);
    // A second loss at the same threshold counts as the mode below, so repeated losses keep
    // pulling the estimate down instead of settling on one mode.
    if (m_count > 0 && m_lastDb[0] == pseudo && m > 1) pseudo = threshold(m - 1);
    addSnr(pseudo);
    if (learnIt) learn(m, false);
}

void SpeedAdaptation::learn(int b, bool good) {
    if (b > m_lastMode) {
        if (good) {
            m_offsetDb[index(b)] *= 2.0f / 3.0f;
            for (int j = 1; j <= b; ++j)
                m_offsetDb[index(j)] = std::min(m_offsetDb[index(j)], m_offsetDb[index(b)]);
        }
        m_measuring = true;
        m_frames = 0;
        m_goodFrames = 0;
    } else if (m_measuring && b < m_lastMode) {
        // The mode just left (h) was tried against the one below it (d): did it deliver more?
        const int h = m_lastMode;
        const float ratio = throughput(h) / throughput(h - 1);
        const float g = m_frames == 0 ? 0.0f
                                      : ratio * static_cast<float>(m_goodFrames) /
                                            static_cast<float>(m_frames);
        if (g < 1.0f) {
            const float p = (1.0f - g) * static_cast<float>(m_frames);
            m_offsetDb[index(h)] += p;
            float hold = p / (ratio - 1.0f);
            if (hold < 0.0f) hold = 1.0f;
            const double blocked = std::nearbyint(static_cast<double>(hold * m_holdFactor[index(h)]));
            m_blocked[index(h)] = static_cast<std::uint8_t>(std::clamp(blocked, 0.0, 255.0));
            // Capped: it only ever multiplies a hold that is clamped to 255 frames anyway.
            m_holdFactor[index(h)] = std::min(m_holdFactor[index(h)] * 2.0f, 512.0f);
        }
        m_measuring = false;
        m_frames = 0;
        m_goodFrames = 0;
    }
    if (good) {
        for (auto& blocked : m_blocked)
            if (blocked > 0) --blocked;
        for (int j = 1; j <= b; ++j) m_holdFactor[index(j)] = 2.0f;
        if (m_measuring) {
            ++m_frames;
            ++m_goodFrames;
        }
    } else if (m_measuring) {
        ++m_frames;
    }
    m_lastMode = b;
}

int SpeedAdaptation::highestAllowedMode() const {
    for (int j = 2; j <= kTopDataMode; ++j)
        if (m_blocked[index(j)] > 0) return j - 1;
    return kTopDataMode;
}

void SpeedAdaptation::resetSnr() {
    m_lastDb.fill(kEmptyDb);
    m_count = 0;
    m_loss = false;
    m_offsetDb.fill(0.0f);
}

void SpeedAdaptation::resetLearner() {
    m_lastMode = 1;
    m_measuring = false;
    m_frames = 0;
    m_goodFrames = 0;
    m_blocked.fill(0);
    m_holdFactor.fill(2.0f);
}

}  // namespace zolk
