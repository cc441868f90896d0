// data_frame_header.h: reading a received data frame (payload length, header bits) and the
// backlog class a sender puts in its header. Owns no state; the frame's byte layout itself is the
// transmit chain's buildDataFrame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zolk {

struct ReceivedDataFrame {
    std::span<const std::uint8_t> payload;
    bool lastFrame = false;         // the sender had nothing after this frame
    std::uint8_t backlogClass = 0;  // 0..5 (a 6 or 7 from a faulty peer reads as 5)
    bool publicFlag = false;
};

// Reads a frame of UserBytes + 3 bytes whose check sequence already passed. The payload is all
// UserBytes when header bit 0 is set, else everything before the last terminator byte (so payload
// bytes equal to the terminator need no escaping). A frame with neither is refused (nullopt).
std::optional<ReceivedDataFrame> readDataFrame(std::span<const std::uint8_t> frame);

// Where this station stands in the first turns of a link, which sets a first frame's backlog
// class: on the answering station its first and second sending turns, on the calling station its
// first one; later turns are Settled.
enum class TurnPosition : std::uint8_t { Settled, First, Second };

TurnPosition turnPosition(bool answeredCall, int turnCount);

// The class 0..5 that tells the receiver how many modes up the remaining bytes would still fill a
// burst: remainingBytes after this frame, sent in mode (0 gives class 0; 14 counts as 1).
// goodExchanges > 4 lets the estimate count two-frame bursts.
std::uint8_t backlogClass(std::size_t remainingBytes, int mode, TurnPosition position,
                          int goodExchanges);

}  // namespace zolk
