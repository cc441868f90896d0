#include "phy/common/call_sign.h"

#include <algorithm>
#include <charconv>

#include "phy/common/crc16.h"

namespace zolk {
namespace {

constexpr std::size_t kMaxBaseCallLength = 7;

bool isUpperLetterOrDigit(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'); }
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string_view afterDash(std::string_view c) { return c.substr(c.find('-') + 1); }

bool ssidTextValid(std::string_view s) {
    if (s == "T" || s == "R" || s == "X") return true;
    if (s.size() == 1) return s[0] >= '1' && s[0] <= '9';
    if (s.size() == 2 && isDigit(s[0]) && isDigit(s[1])) {
        const int value = (s[0] - '0') * 10 + (s[1] - '0');
        return value >= 1 && value <= 18;
    }
    return false;
}

}  // namespace

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; });
    return upper;
}

std::string baseCall(std::string_view c) { return upperAscii(c.substr(0, c.find('-'))); }

int ssidOf(std::string_view c) {
    if (c.find('-') == std::string_view::npos) return 0;
    const std::string s = upperAscii(afterDash(c));
    if (s == "T") return 16;
    if (s == "R") return 17;
    if (s == "X") return 18;
    int value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    const bool wholeNumber = error == std::errc{} && end == s.data() + s.size() && isDigit(s[0]);
    return wholeNumber ? value : 0;
}

bool callSignValid(std::string_view c) {
    const std::string upper = upperAscii(c);
    const std::string base = baseCall(upper);
    if (base.size() > kMaxBaseCallLength ||
        !std::all_of(base.begin(), base.end(), isUpperLetterOrDigit))
        return false;
    if (upper.find('-') == std::string::npos) return true;
    return !base.empty() && ssidTextValid(afterDash(upper));
}

std::uint16_t callHash(std::string_view c) {
    return crc16Ccitt(std::span(reinterpret_cast<const std::uint8_t*>(c.data()), c.size()));
}

std::int32_t callSeed(std::string_view c) {
    const std::uint16_t hash = callHash(c);
    return std::int32_t(hash >> 8) * std::int32_t(hash & 0xFF) + 257;
}

}  // namespace zolk
