// arguments.h: the readers of option values the zolk-phy subcommands share: a whole number as
// typed (no trailing text, finite), and a mode number, checked once here where it enters.
#pragma once

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "phy/common/mode_index.h"

namespace zolk::phytool {

template <typename T>
std::optional<T> parseNumber(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

inline std::optional<ModeIndex> parseMode(std::string_view text) {
    const auto number = parseNumber<int>(text);
    return number ? ModeIndex::tryFrom(*number) : std::nullopt;
}

inline std::string unknownModeMessage(std::string_view text) {
    return "unknown mode \"" + std::string(text) + "\" (modes are 0.." + std::to_string(kModeCount - 1) + ")";
}

}  // namespace zolk::phytool
