// control_codes.h: the 26 control codes of the link (names and numbers), sets of codes to listen
// for, the drawing of their tone patterns from call-sign seeds, and the incoming-call filter.
// Owns the drawing order on the station's random source; the table it fills is plain phy data.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "phy/common/control_patterns.h"
#include "phy/common/random_source.h"

namespace zolk {

enum class ControlCode : std::uint8_t {
    Ack = 1,
    Nak = 2,
    Qrt = 3,
    Break = 4,
    AckUp2 = 5,
    AckDown1 = 6,
    AckUp1 = 7,
    AckUp3 = 8,
    AckUp4 = 9,
    NakFirst = 10,
    NakSecond = 11,
    Req0 = 12,
    Req1 = 13,
    TurnAck = 14,
    Answer = 15,
    AcceptMode2 = 16,
    AcceptMode3 = 17,
    AcceptMode4 = 18,
    AcceptMode5 = 19,
    Idle = 20,
    IdleAck = 21,
    Call1 = 22,
    Call2 = 23,
    Call3 = 24,
    Call4 = 25,
    Call5 = 26,
};

inline constexpr int kCallSlots = 5;
// The CallSeed of each own call-sign slot 1..5 (index 0..4).
using CallSlotSeeds = std::array<std::int32_t, kCallSlots>;

constexpr int codeNumber(ControlCode c) { return static_cast<int>(c); }
constexpr bool isCallCode(ControlCode c) { return c >= ControlCode::Call1; }
// The own call-sign slot 1..5 a Call code asks for; 0 for the other codes.
constexpr int callSlot(ControlCode c) { return isCallCode(c) ? codeNumber(c) - 21 : 0; }

// "Ack" ... "Call5".
std::string_view controlCodeName(ControlCode c);
// A code by number 1..26 or by name (case-insensitive); nothing for anything else.
std::optional<ControlCode> controlCodeFromNumber(int number);
std::optional<ControlCode> parseControlCode(std::string_view text);

// A set of codes, kept in ascending order: the order the detector tries them in.
class ControlCodeSet {
public:
    ControlCodeSet() = default;
    ControlCodeSet(std::initializer_list<ControlCode> codes);
    // Codes from..to inclusive.
    static ControlCodeSet range(ControlCode from, ControlCode to);

    void add(ControlCode c) { m_mask |= bit(c); }
    void remove(ControlCode c) { m_mask &= ~bit(c); }
    bool contains(ControlCode c) const { return (m_mask & bit(c)) != 0; }
    bool empty() const { return m_mask == 0; }
    // The code numbers, ascending, as the detector takes them. The span points into the set: it
    // is valid while the set lives and is not changed.
    std::span<const std::uint8_t> numbers() const;
    ControlCodeSet operator|(const ControlCodeSet& other) const {
        ControlCodeSet joined = *this;
        joined.m_mask |= other.m_mask;
        return joined;
    }
    bool operator==(const ControlCodeSet& other) const { return m_mask == other.m_mask; }

private:
    static std::uint32_t bit(ControlCode c) { return std::uint32_t{1} << codeNumber(c); }
    std::uint32_t m_mask = 0;
    mutable std::array<std::uint8_t, kControlCodeCount> m_numbers{};
};

// (Re)draws every pattern on random (which it resets): codes 1..21 from seed, Call1..Call5 from
// the own slots' seeds, except Call1 from seed when forCall (an outgoing call carries the called
// station's own Call1). Every tone lies in 8..56 and consecutive symbols of a code never share a
// band. The result depends on the three arguments only.
void buildPatterns(RandomSource& random, std::int32_t seed, const CallSlotSeeds& slotSeeds,
                   bool forCall, ControlPatternTable& table);

// The incoming-call filter: the Call code of an empty own call-sign slot (index 0..4 for slots
// 1..5) is never listened for.
ControlCodeSet withoutEmptyCallSlots(ControlCodeSet set, const std::array<std::string, kCallSlots>& myCalls);

}  // namespace zolk
