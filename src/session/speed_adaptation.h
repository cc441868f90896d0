// speed_adaptation.h: what the receiving station knows when it chooses the sender's next mode:
// the S/N of the last four frames, a per-mode learned offset, the hold-off of modes that did not
// pay off, and the S/N each mode needs at our receiver (by default the measured table). Owns those
// figures; the chart, the answer on the air and the states are the session's.
#pragma once

#include <array>
#include <cstdint>

#include "session/measured_thresholds.h"

namespace zolk {

inline constexpr int kTopDataMode = 13;  // modes 1..13 carry data at a learned speed

class SpeedAdaptation {
public:
    // thresholdsDb: per mode, the S/N on the modem's scale our receiver needs.
    explicit SpeedAdaptation(const ModeThresholds& thresholdsDb = measuredThresholdsAdjusted())
        : m_thresholdDb(thresholdsDb) {
        resetSnr();
        resetLearner();
    }

    // One S/N measurement, dB in 2500 Hz. The estimate is the lowest of the last four.
    void addSnr(float snrDb);
    float estimateDb() const;
    int measurements() const { return m_count; }
    bool lossSeen() const { return m_loss; }

    // Margins in dB of mode and the four modes above it (index 0..4) over what each needs at the
    // current estimate, after the learned offset and a penalty for few measurements. A mode above
    // 13 has -100. After a lost frame no margin above two steps is positive, and two steps up is
    // not offered into the pilot modes.
    std::array<float, 5> margins(int mode) const;

    // The mode a called station asks the caller to start in: the highest of 2..5 with a positive
    // margin over mode 1's figures, else 1.
    int startingMode() const;

    // A frame of mode (0 and 14 count as 1) was received, or was lost. A lost frame also feeds a
    // pseudo measurement at the mode's threshold into the estimate. learn = the learner runs
    // (only while this station receives).
    void goodFrame(int mode, bool learn);
    void lostFrame(int mode, bool learn);

    // The highest mode the learner lets an answer propose: below the lowest held-off mode.
    int highestAllowedMode() const;
    int heldOff(int mode) const { return m_blocked[index(mode)]; }
    float offsetDb(int mode) const { return m_offsetDb[index(mode)]; }

    void resetSnr();
    void resetLearner();

private:
    static std::size_t index(int mode) { return static_cast<std::size_t>(mode); }
    void learn(int mode, bool good);

    static constexpr float kEmptyDb = 1.0e35f;
    float threshold(int mode) const { return m_thresholdDb[index(mode)]; }

    ModeThresholds m_thresholdDb;
    std::array<float, 4> m_lastDb{};  // newest first
    int m_count = 0;
    bool m_loss = false;
    std::array<float, kTopDataMode + 1> m_offsetDb{};  // index 1..13

    int m_lastMode = 1;
    bool m_measuring = false;
    int m_frames = 0;
    int m_goodFrames = 0;
    std::array<std::uint8_t, kTopDataMode + 1> m_blocked{};
    std::array<float, kTopDataMode + 1> m_holdFactor{};
};

}  // namespace zolk
