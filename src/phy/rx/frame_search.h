// frame_search.h: what the reception schedule asks of a frame receiver: is there a new FFT frame
// in a slot, search it, run a decode stage, follow a shown frame's frequency. The schedule decides
// when and hands the verdicts on; the receiver reports what it found and never touches the frame
// timing itself.
#pragma once

#include <cstdint>
#include <optional>

#include "phy/rx/frame_acceptance.h"

namespace zolk {

// Frame-window margin and slack, in session ticks (0.12 s and 3.75 s).
constexpr std::int32_t kWindowMarginTicks = 180;
constexpr std::int32_t kWindowSlackTicks = 5624;

struct SearchRequest {
    int mode = 0;
    int slot = 1;
    FramePlace place = FramePlace::Only;
    bool decodeNow = false;  // run all ten stages at once instead of staging them
};

enum class SearchOutcome : std::uint8_t {
    Nothing,  // no frame confirmed at this FFT frame
    Staged,   // a frame was found; its stages are due at the checkpoints
    Decoded,  // a frame was found and decoded at once (stage 10 ran)
};

struct SearchResult {
    SearchOutcome outcome = SearchOutcome::Nothing;
    std::optional<FrameVerdict> verdict;  // set when Decoded
};

class FrameSearch {
public:
    virtual ~FrameSearch() = default;
    // A new FFT frame is ready in slot (1..14).
    virtual bool newFrame(int slot) const = 0;
    virtual SearchResult search(const SearchRequest& request) = 0;
    // Decode stage k of the last detected frame; stage 10 returns the verdict.
    virtual std::optional<FrameVerdict> decodeStage(int stage) = 0;
    // A good verdict shown on the gauges moves the frequency correction (FrameAcceptance).
    virtual void followFrequency(FrameVerdict& verdict) = 0;
    // The mode of the last detection.
    virtual int detectedMode() const = 0;
};

}  // namespace zolk
