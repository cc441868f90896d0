// arguments.h: the readers of option values the zolk-phy subcommands share: a whole number as
// typed (the tools' common parser), and a mode number, checked once here where it enters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "parse_number.h"
#include "phy/common/mode_index.h"

namespace zolk::phytool {

using toolcommon::parseNumber;

inline std::optional<ModeIndex> parseMode(std::string_view text) {
    const auto number = parseNumber<int>(text);
    return number ? ModeIndex::tryFrom(*number) : std::nullopt;
}

inline std::string unknownModeMessage(std::string_view text) {
    return "unknown mode \"" + std::string(text) + "\" (modes are 0.." + std::to_string(kModeCount - 1) + ")";
}

}  // namespace zolk::phytool
