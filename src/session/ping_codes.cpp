#include "session/ping_codes.h"

#include <array>
#include <cstdlib>

namespace zolk {
namespace {

constexpr int kFirstReply = 3;

// Upper bounds of the reply rows (Hz) and the shift each row asks for; the last row has no bound.
constexpr std::array<float, 8> kRoughBounds = {-600, -300, -150, -50, 50, 150, 300, 600};
constexpr std::array<int, 9> kRoughShifts = {800, 400, 200, 100, 0, -100, -200, -400, -800};
constexpr std::array<float, 14> kFineBounds = {-117, -82, -58, -41, -29, -18, -6, 6, 18, 29, 41, 58, 82, 117};
constexpr std::array<int, 15> kFineShifts = {141, 94, 70, 47, 35, 23, 12, 0, -12, -23, -35, -47, -70, -94, -141};

constexpr std::array<std::uint8_t, 15> kReplyCodes = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

constexpr std::int32_t kRoughWaitTicks = 16352;  // 10.9 s
constexpr std::int32_t kFineWaitTicks = 1952;    // 1.3 s
constexpr std::int32_t kDetectionAllowanceTicks = 96;  // 64 ms of each wait

template <std::size_t N>
int replyOf(const std::array<float, N>& bounds, float fHz) {
    for (std::size_t row = 0; row < N; ++row) {
        if (fHz <= bounds[row]) return kFirstReply + static_cast<int>(row);
    }
    return kFirstReply + static_cast<int>(N);
}

template <std::size_t N>
int shiftOf(const std::array<int, N>& shifts, int replyCode) {
    const int row = replyCode - kFirstReply;
    return row >= 0 && row < static_cast<int>(N) ? shifts[static_cast<std::size_t>(row)] : 0;
}

}  // namespace

void buildPingPatterns(RandomSource& random, std::int32_t seed, ControlPatternTable& table) {
    random.reset();
    random.seed(seed + 56);
    for (int c = 1; c <= kControlCodeCount; ++c) {
        for (int s = 0; s < kControlSymbols; ++s) {
            table.bandLow[c][s] = kPingBandLow;
            table.toneOf[c][s] = static_cast<std::uint8_t>(kPingBandLow + random.draw(kControlBandTones - 1));
        }
    }
}

int pingReplyCode(PingKind kind, float fHz) {
    return kind == PingKind::Rough ? replyOf(kRoughBounds, fHz) : replyOf(kFineBounds, fHz);
}

std::span<const std::uint8_t> pingReplyCodes(PingKind kind) {
    return std::span(kReplyCodes).first(kind == PingKind::Rough ? kRoughShifts.size() : kFineShifts.size());
}

int pingTxShiftHz(PingKind kind, int replyCode) {
    return kind == PingKind::Rough ? shiftOf(kRoughShifts, replyCode) : shiftOf(kFineShifts, replyCode);
}

std::int32_t pingWaitTicks(PingKind kind) { return kind == PingKind::Rough ? kRoughWaitTicks : kFineWaitTicks; }

std::int32_t pingListenTicks(PingKind kind) { return pingWaitTicks(kind) - kDetectionAllowanceTicks; }

CalibrationColour shiftColour(int shiftHz) {
    const int magnitude = std::abs(shiftHz);
    if (magnitude > 117) return CalibrationColour::Red;
    if (magnitude > 82) return CalibrationColour::Yellow;
    return CalibrationColour::Green;
}

CalibrationColour pingTimeColour(int pingMs) {
    if (pingMs > 3000) return CalibrationColour::Red;
    if (pingMs > 2000) return CalibrationColour::Yellow;
    return CalibrationColour::Green;
}

}  // namespace zolk
