// mode_index.h: a speed-mode number known to be one of the table's modes. One is made only by the
// check below, where a number from outside becomes a mode (command line, settings, host, a file,
// a frame, a caller's request); code handed a ModeIndex trusts it and reads it as an int.
#pragma once

#include <optional>

#include "phy/common/mode_table.h"

namespace zolk {

class ModeIndex {
public:
    // Mode 0.
    constexpr ModeIndex() = default;
    // Throws std::invalid_argument "no mode N (modes are 0..14)" for a number that is not a mode.
    explicit ModeIndex(int mode);

    static constexpr bool valid(int mode) { return mode >= 0 && mode < kModeCount; }
    static std::optional<ModeIndex> tryFrom(int mode);

    constexpr operator int() const { return m_value; }
    friend constexpr bool operator==(ModeIndex, ModeIndex) = default;

private:
    int m_value = 0;
};

}  // namespace zolk
