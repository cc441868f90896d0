#include "session/identification.h"

#include <algorithm>

#include "phy/common/call_sign.h"

namespace zolk {
namespace {

constexpr std::size_t kBaseCallBytes = kIdentificationBytes - 1;

bool isLetterOrDigit(std::uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
}

std::string ssidSuffix(std::uint8_t ssid) {
    switch (ssid) {
        case 0: return {};
        case 16: return "-T";
        case 17: return "-R";
        case 18: return "-X";
        default: return "-" + std::to_string(ssid);
    }
}

}  // namespace

std::array<std::uint8_t, kIdentificationBytes> identificationPayload(std::string_view call) {
    std::array<std::uint8_t, kIdentificationBytes> payload{};
    std::string base = baseCall(call);
    base.resize(kBaseCallBytes, ' ');
    std::copy(base.begin(), base.end(), payload.begin());
    const int ssid = ssidOf(call);
    payload[kBaseCallBytes] = ssid >= 0 && ssid <= 255 ? static_cast<std::uint8_t>(ssid) : 0;
    return payload;
}

std::optional<std::string> callFromIdentification(std::span<const std::uint8_t> payload) {
    auto base = payload.first(std::min(payload.size(), kBaseCallBytes));
    while (!base.empty() && base.back() == ' ') base = base.first(base.size() - 1);
    if (base.empty() || !std::all_of(base.begin(), base.end(), isLetterOrDigit)) return std::nullopt;
    std::string call(base.begin(), base.end());
    if (payload.size() > kBaseCallBytes) call += ssidSuffix(payload[kBaseCallBytes]);
    return call;
}

}  // namespace zolk
