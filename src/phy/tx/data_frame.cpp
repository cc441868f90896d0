#include "phy/tx/data_frame.h"

#include <algorithm>
#include <stdexcept>

#include "phy/common/crc16.h"

namespace zolk {

void buildDataFrame(std::span<const std::uint8_t> payload, const DataFrameHeader& header,
                    std::span<std::uint8_t> frame) {
    if (frame.size() < static_cast<std::size_t>(kDataFrameOverheadBytes)) {
        throw std::invalid_argument("data frame shorter than its header and check sequence");
    }
    const std::size_t userBytes = frame.size() - kDataFrameOverheadBytes;
    if (payload.size() > userBytes) {
        throw std::invalid_argument("payload longer than the frame's user bytes");
    }
    if (header.backlogClass > 5) {
        throw std::invalid_argument("backlog class above 5");
    }
    std::fill(frame.begin(), frame.end(), std::uint8_t{0});
    std::copy(payload.begin(), payload.end(), frame.begin());
    const bool full = payload.size() == userBytes;
    if (!full) {
        frame[payload.size()] = kDataFrameTerminator;
    }
    frame[userBytes] =
        static_cast<std::uint8_t>((full ? 0x01 : 0) | (header.lastFrame ? 0x02 : 0) |
                                  (header.backlogClass << 2) | (header.publicFlag ? 0x40 : 0));
    const auto crc = crc16StoredBytes(frame.first(userBytes + 1));
    std::copy(crc.begin(), crc.end(), frame.begin() + static_cast<std::ptrdiff_t>(userBytes) + 1);
}

}  // namespace zolk
