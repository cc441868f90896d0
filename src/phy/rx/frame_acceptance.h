// frame_acceptance.h: the ten decode stages of a detected frame and its verdict: frame check, S/N,
// what the gauges and the constellation may show, and the frequency correction a shown good frame
// makes. Owns the forced-failure flag; soft values come from the detecting receiver, the FEC steps
// from the decoder; what the frame means is decided by whoever takes the verdict.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "phy/common/complex_ops.h"
#include "phy/fec/frame_fec_decoder.h"

namespace zolk {

class ReceiveFrontEnd;

inline constexpr int kDecodeStages = 10;

// The receiver that detected the frame (family 1, pilots or differential; family 2, tones).
class DetectedFrameSource {
public:
    virtual ~DetectedFrameSource() = default;
    // Stage 1: the frame's CodedBits soft values (positive favours bit 1).
    virtual void buildSoftValues() = 0;
    virtual std::span<const float> softValues() const = 0;
    // Frame S/N in dB before the mode's crest adjustment.
    virtual float estimateSnrDb() = 0;
    // Carrier error of the detection, Hz (FrequencyShift or ToneShift).
    virtual float shiftEstimateHz() const = 0;
    // What the constellation shows: the data cells (family 1) or the de-interleaved soft values
    // (family 2); the other span is empty.
    virtual std::span<const Complex> constellationCells() const = 0;
    virtual std::span<const float> constellationSoftValues() const = 0;
};

// Where a detected frame stands in what the reception expects.
enum class FramePlace : std::uint8_t {
    Only,         // the one frame of a burst
    FirstOfTwo,   // the first frame of a two-frame burst
    SecondOfTwo,  // the second frame of a two-frame burst
    Monitored,    // any mode's frame in monitor mode
};

// What the station may show of a decoded frame; the spans stay valid until the next detection.
struct FrameDisplay {
    bool gauges = false;     // the S/N gauge and the constellation (not for the first of two frames)
    bool afcMoved = false;   // a good frame moved the frequency correction to afcHz
    float afcHz = 0.0f;
    bool rateHeard = false;  // a monitored frame the session did not take: its mode's rate is news
    int bitsPerCell = 0;
    std::span<const Complex> cells;     // multi-carrier modes
    std::span<const float> softValues;  // robust modes
};

// The outcome of stage 10.
struct FrameVerdict {
    int mode = 0;
    bool good = false;
    float snrDb = 0.0f;  // after the crest adjustment
    float shiftHz = 0.0f;
    std::span<const std::uint8_t> bytes;
    FrameDisplay display;
    FramePlace place = FramePlace::Only;
};

class FrameAcceptance {
public:
    FrameAcceptance(ReceiveFrontEnd& frontEnd, FrameFecDecoder& fec);

    // Decode stage k of a frame of `mode` detected by `receiver` at `place`: 1 soft values, 2..9
    // FEC steps 1..8, 10 FEC step 9 and the verdict. Stage numbers outside 1..10 do nothing and
    // return nothing. Stage 10 returns the verdict; its bytes stay valid until the next frame's FEC
    // step 1. The display it proposes is empty for a first frame of two and a failed monitored one.
    std::optional<FrameVerdict> decodeStage(int stage, int mode, FramePlace place, DetectedFrameSource& receiver);

    // A good verdict shown on the gauges moves the frequency correction by the frame's measured
    // shift in full (no smoothing: the detector measured this frame's own error); the display says
    // where it went. Other verdicts leave both alone.
    void followFrequency(FrameVerdict& verdict);

    // The operator's "Error" button: the next frame that reaches stage 10 counts as failed.
    void forceNextFrameFailure() { m_forceFailure = true; }
    bool failureForced() const { return m_forceFailure; }

private:
    FrameVerdict accept(int mode, FramePlace place, DetectedFrameSource& receiver);

    ReceiveFrontEnd& m_frontEnd;
    FrameFecDecoder& m_fec;
    bool m_forceFailure = false;
};

}  // namespace zolk
