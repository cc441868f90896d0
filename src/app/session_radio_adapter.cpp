#include "app/session_radio_adapter.h"

namespace zolk {

std::optional<ControlCode> SessionRadioAdapter::listenFor(const ControlCodeSet& codes, ControlSearch search) {
    const auto detection = m_radio.listenFor(codes, search);
    if (!detection) return std::nullopt;
    return static_cast<ControlCode>(detection->code);
}

// Codes 1..21 of a link come from the called slot's seed; without a link from seed 0. The call
// codes always come from the own slots.
void SessionRadioAdapter::drawLinkPatterns(int slot) {
    const std::int32_t seed = slot >= 1 && slot <= kCallSlots ? m_slotSeeds[static_cast<std::size_t>(slot - 1)] : 0;
    m_radio.drawPatterns(seed, m_slotSeeds, false);
}

void SessionRadioAdapter::drawOwnPingPatterns() {
    m_radio.drawPingPatterns(m_slotSeeds[0] != 0 ? m_slotSeeds[0] : kUnnamedPingSeed);
}

std::optional<PingHeard> SessionRadioAdapter::listenForPing(PingKind kind, std::span<const std::uint8_t> codes) {
    const auto detection = m_radio.listenForPing(kind, codes);
    if (!detection) return std::nullopt;
    return PingHeard{.code = detection->code, .offsetHz = detection->fineOffsetHz};
}

}  // namespace zolk
