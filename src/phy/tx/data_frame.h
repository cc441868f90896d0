// data_frame.h: the byte layout of one data frame: payload, terminator, header byte, check
// sequence. Owns the layout only; which bytes go in, the backlog class and the flags are the
// session's choice.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

inline constexpr std::uint8_t kDataFrameTerminator = 0x14;
// Bytes a frame carries beyond its payload room: header byte and the two check bytes.
inline constexpr int kDataFrameOverheadBytes = 3;

struct DataFrameHeader {
    bool lastFrame = false;         // nothing left in the sender's buffer after this frame
    std::uint8_t backlogClass = 0;  // 0..5
    bool publicFlag = false;
};

// Fills frame (UserBytes + 3 bytes of the mode, so UserBytes = frame.size() - 3) with the payload,
// the terminator when the payload is shorter than UserBytes, the header byte and the check
// sequence high byte first. Throws std::invalid_argument when the payload does not fit or the
// backlog class is above 5.
void buildDataFrame(std::span<const std::uint8_t> payload, const DataFrameHeader& header,
                    std::span<std::uint8_t> frame);

}  // namespace zolk
