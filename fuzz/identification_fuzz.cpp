// An identification payload off the air: any bytes. Checks: a call sign read back holds only
// letters and digits, then at most a dash and T, R, X or a number, so it cannot split a host reply
// line; read back, built again and read once more, it comes out the same in upper case.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "phy/common/call_sign.h"
#include "session/identification.h"

namespace {

bool isLetterOrDigit(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
}

bool ssidTextShown(std::string_view s) {
    if (s == "T" || s == "R" || s == "X") return true;
    return !s.empty() && s.size() <= 3 && std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto call = zolk::callFromIdentification(std::span(data, size));
    if (!call) return 0;
    const std::string_view text = *call;
    const std::size_t dash = text.find('-');
    const std::string_view base = text.substr(0, dash);
    if (base.empty() || base.size() > 7 || !std::all_of(base.begin(), base.end(), isLetterOrDigit)) std::abort();
    if (dash != std::string_view::npos && !ssidTextShown(text.substr(dash + 1))) std::abort();
    const auto again = zolk::callFromIdentification(zolk::identificationPayload(text));
    if (!again || *again != zolk::upperAscii(text)) std::abort();
    return 0;
}
