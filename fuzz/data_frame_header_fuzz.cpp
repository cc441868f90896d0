// A data frame off the air, whose check sequence passed: any bytes as a frame, and a frame the
// transmit side builds from the input. Checks: the payload read is a prefix of the frame's
// payload room and ends where the header or the last terminator says; the backlog class is 0..5;
// a frame built from a payload and header reads back as exactly that payload and header.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "phy/common/crc16.h"
#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "session/data_frame_header.h"

namespace {

void checkReceived(std::span<const std::uint8_t> frame) {
    const auto read = zolk::readDataFrame(frame);
    if (frame.size() < static_cast<std::size_t>(zolk::DataFrameOverheadBytes)) {
        if (read) std::abort();
        return;
    }
    const std::size_t userBytes = frame.size() - zolk::DataFrameOverheadBytes;
    const auto room = frame.first(userBytes);
    const bool full = (frame[userBytes] & 0x01) != 0;
    const bool terminated = std::find(room.begin(), room.end(), zolk::DataFrameTerminator) != room.end();
    if (read.has_value() != (full || terminated)) std::abort();
    if (!read) return;
    if (read->payload.data() != frame.data() || read->payload.size() > userBytes) std::abort();
    if (read->backlogClass > 5) std::abort();
    if (full) {
        if (read->payload.size() != userBytes) std::abort();
    } else {
        const auto after = room.subspan(read->payload.size());
        if (after.empty() || after[0] != zolk::DataFrameTerminator) std::abort();
        if (std::find(after.begin() + 1, after.end(), zolk::DataFrameTerminator) != after.end()) std::abort();
    }
}

// data[0] picks the mode, data[1] the header bits; the rest is the payload, cut to the mode's room.
void checkBuilt(std::span<const std::uint8_t> data) {
    if (data.size() < 2) return;
    const int mode = data[0] % zolk::kModeCount;
    const auto userBytes = static_cast<std::size_t>(zolk::modeRecord(mode).UserBytes);
    zolk::DataFrameHeader header;
    header.lastFrame = (data[1] & 0x01) != 0;
    header.publicFlag = (data[1] & 0x02) != 0;
    header.backlogClass = static_cast<std::uint8_t>((data[1] >> 2) % 6);
    const auto payload = data.subspan(2, std::min(userBytes, data.size() - 2));
    std::vector<std::uint8_t> frame(userBytes + zolk::DataFrameOverheadBytes);
    zolk::buildDataFrame(payload, header, frame);
    if (!zolk::crc16Matches(frame)) std::abort();
    const auto read = zolk::readDataFrame(frame);
    if (!read || !std::equal(read->payload.begin(), read->payload.end(), payload.begin(), payload.end()))
        std::abort();
    if (read->lastFrame != header.lastFrame || read->publicFlag != header.publicFlag ||
        read->backlogClass != header.backlogClass)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    checkReceived(input);
    checkBuilt(input);
    return 0;
}
