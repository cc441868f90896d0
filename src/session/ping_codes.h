// ping_codes.h: the link calibration ping's air rules: its pattern tables drawn from a call sign's
// seed, the two ping kinds and their reply codes, what a reply means, how long the pinging station
// waits, and the colours of a result. Pure rules; the exchange itself is the session's.
#pragma once

#include <cstdint>
#include <span>

#include "phy/common/control_patterns.h"
#include "phy/common/random_source.h"
#include "ports/calibration_view.h"

namespace zolk {

// The ping code is the kind's number: 1 rough (about +/-1000 Hz), 2 fine (about +/-140 Hz).
enum class PingKind : std::uint8_t { Rough = 1, Fine = 2 };

constexpr int pingCode(PingKind kind) { return static_cast<int>(kind); }

// The seed the ping patterns are drawn from before the host names the station's call sign.
inline constexpr std::int32_t kUnnamedPingSeed = 984;

// (Re)draws every ping and reply pattern for the call sign with this CallSeed (random is reset):
// codes 1..26, each symbol a tone of 29..35. Depends on seed only.
void buildPingPatterns(RandomSource& random, std::int32_t seed, ControlPatternTable& table);

// The reply to a ping heard at fHz: rough 3..11, fine 3..17, from the first row whose upper bound
// holds fHz (rough rows step -600, -300, -150, -50, 50, 150, 300, 600 Hz; fine rows -117 ... 117).
int pingReplyCode(PingKind kind, float fHz);
// The reply codes the pinging station listens for: 3..11 (rough) or 3..17 (fine).
std::span<const std::uint8_t> pingReplyCodes(PingKind kind);
// The shift a reply asks the pinging station to make to its transmit frequency (minus the middle
// of the reply's row; the outer rows stand for 800 or 141 Hz). A code of no row gives 0.
int pingTxShiftHz(PingKind kind, int replyCode);

// The reply's wait: its lead-in tone (10 s after a rough ping, 400 ms after a fine one), its
// pattern and 64 ms for both stations' detection. The ping time is counted from here; a reply
// heard sooner (a station next door) shows 0 ms.
std::int32_t pingWaitTicks(PingKind kind);
// Ticks after which the pinging station listens for the reply: the wait less its 64 ms for the
// detection, the soonest a reply sent at once can be complete on the air. A reply from a station
// without delay is found that soon, before the wait is over.
std::int32_t pingListenTicks(PingKind kind);

// Shifts above 117 Hz red, above 82 Hz yellow; ping times above 3000 ms red, above 2000 ms yellow.
CalibrationColour shiftColour(int shiftHz);
CalibrationColour pingTimeColour(int pingMs);

}  // namespace zolk
