#include "session/data_frame_header.h"

#include <algorithm>

#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"

namespace zolk {

std::optional<ReceivedDataFrame> readDataFrame(std::span<const std::uint8_t> frame) {
    if (frame.size() < static_cast<std::size_t>(DataFrameOverheadBytes)) return std::nullopt;
    const std::size_t userBytes = frame.size() - DataFrameOverheadBytes;
    const std::uint8_t header = frame[userBytes];
    ReceivedDataFrame result;
    result.lastFrame = (header & 0x02) != 0;
    result.backlogClass = std::min<std::uint8_t>(static_cast<std::uint8_t>((header >> 2) & 0x07), 5);
    result.publicFlag = (header & 0x40) != 0;
    if ((header & 0x01) != 0) {
        result.payload = frame.first(userBytes);
        return result;
    }
    const auto room = frame.first(userBytes);
    const auto last = std::find(room.rbegin(), room.rend(), DataFrameTerminator);
    if (last == room.rend()) return std::nullopt;
    result.payload = room.first(static_cast<std::size_t>(room.rend() - last - 1));
    return result;
}

TurnPosition turnPosition(bool answeredCall, int turnCount) {
    if (answeredCall && turnCount == 1) return TurnPosition::First;
    if (answeredCall && turnCount == 2) return TurnPosition::Second;
    if (!answeredCall && turnCount == 1) return TurnPosition::Second;
    return TurnPosition::Settled;
}

std::uint8_t backlogClass(std::size_t remainingBytes, int mode, TurnPosition position,
                          int goodExchanges) {
    if (mode == 0) return 0;
    const int m = mode == 14 ? 1 : mode;
    if (position == TurnPosition::First) {
        if (m > 3) return 1;
        return static_cast<std::uint8_t>(5 - m);  // 2 for mode 3, 3 for mode 2, 4 for mode 1
    }
    const auto userBytes = [](int j) {
        return static_cast<std::size_t>(modeRecord(j).UserBytes);
    };
    // One-frame capacity a(j) and the second frame's share c(j).
    const auto single = [&](int j) {
        return goodExchanges > 5 ? 2 * userBytes(j) : userBytes(j);
    };
    const auto pair = [&](int j) {
        return single(j) + (goodExchanges >= 5 ? 2 * userBytes(j) : userBytes(j));
    };
    const std::size_t b = remainingBytes;
    const bool low = position == TurnPosition::Second || m < 2;
    if (!low && single(m - 1) >= b) return 0;
    if (single(m) >= b) return 1;
    for (int k = 1; k <= 4 && m + k <= 13; ++k)
        if (single(m + k) >= b) return static_cast<std::uint8_t>(k + 1);
    if (!low && pair(m - 1) >= b) return 0;
    if (pair(m) >= b) return 1;
    for (int k = 1; k <= 3 && m + k <= 13; ++k)
        if (pair(m + k) >= b) return static_cast<std::uint8_t>(k + 1);
    if (m < 10) return 5;
    return static_cast<std::uint8_t>(14 - m);  // 4 for mode 10 ... 1 for mode 13
}

}  // namespace zolk
