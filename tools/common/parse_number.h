// parse_number.h: a command-line number, whole text or nothing, for the tools' option parsers.
#pragma once

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <type_traits>

namespace zolk::toolcommon {

// The number the whole of text spells; nullopt for anything else, and for a non-finite real.
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

}  // namespace zolk::toolcommon
