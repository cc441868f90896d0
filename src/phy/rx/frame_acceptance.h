// frame_acceptance.h: the ten decode stages of a detected frame and how a frame ends: frame check,
// S/N and AFC, constellation, dispatch. Owns the forced-failure flag; soft values come from the
// detecting receiver, the FEC steps from the decoder, and the frame's fate belongs to the session.
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
    // 1 for a first frame of a two-frame burst or a single frame, 2 for a late (second) frame.
    virtual std::uint8_t decisionFlag() const = 0;
    // What the constellation shows: the data cells (family 1) or the de-interleaved soft values
    // (family 2); the other span is empty.
    virtual std::span<const Complex> constellationCells() const = 0;
    virtual std::span<const float> constellationSoftValues() const = 0;
};

// The session layer's side of frame dispatch: what becomes of a frame, good or failed.
class FrameSessionEntries {
public:
    virtual ~FrameSessionEntries() = default;
    virtual void onFirstFrame(std::span<const std::uint8_t> frame, float snrDb) = 0;
    virtual void onFrame(std::span<const std::uint8_t> frame, float snrDb) = 0;
    virtual void onFirstFrameFailed() = 0;
    virtual void onMissingFrame() = 0;
    // Returns true when the frame is not to be shown.
    virtual bool onMonitorFrame(std::span<const std::uint8_t> frame, int mode) = 0;
};

// The session as acceptance sees it: the entries plus the reception's burst size and frame counter.
class AcceptanceSession : public FrameSessionEntries {
public:
    virtual std::uint8_t framesPerBurst() const = 0;  // 1 or 2
    virtual bool monitorMode() const = 0;
    // Monitor mode: a good frame ends the staged decode, so scanning resumes.
    virtual void clearFrameTicks() = 0;
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
};

class FrameAcceptance {
public:
    FrameAcceptance(ReceiveFrontEnd& frontEnd, FrameFecDecoder& fec, AcceptanceSession& session);

    // Decode stage k of a frame of `mode` detected by `receiver`: 1 soft values, 2..9 FEC steps
    // 1..8, 10 FEC step 9 and acceptance. Stage numbers outside 1..10 do nothing and return nothing.
    // Stage 10 returns the verdict; its bytes stay valid until the next frame's FEC step 1.
    std::optional<FrameVerdict> decodeStage(int stage, int mode, DetectedFrameSource& receiver);

    // The operator's "Error" button: the next frame that reaches stage 10 counts as failed.
    void forceNextFrameFailure() { m_forceFailure = true; }
    bool failureForced() const { return m_forceFailure; }

private:
    FrameVerdict accept(int mode, DetectedFrameSource& receiver);

    ReceiveFrontEnd& m_frontEnd;
    FrameFecDecoder& m_fec;
    AcceptanceSession& m_session;
    bool m_forceFailure = false;
};

}  // namespace zolk
