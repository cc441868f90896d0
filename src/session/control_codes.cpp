#include "session/control_codes.h"

#include <algorithm>
#include <cctype>

namespace zolk {
namespace {

constexpr std::array<std::string_view, kControlCodeCount + 1> kNames = {
    "",          "Ack",       "Nak",         "Qrt",         "Break",       "AckUp2",
    "AckDown1",  "AckUp1",    "AckUp3",      "AckUp4",      "NakFirst",    "NakSecond",
    "Req0",      "Req1",      "TurnAck",     "Answer",      "AcceptMode2", "AcceptMode3",
    "AcceptMode4", "AcceptMode5", "Idle",    "IdleAck",     "Call1",       "Call2",
    "Call3",     "Call4",     "Call5",
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One band per symbol, never the band of the symbol before.
int drawBand(RandomSource& random, int previous) {
    int low = random.draw(6) * kControlBandTones + kControlLowestTone;
    while (low == previous) low = random.draw(6) * kControlBandTones + kControlLowestTone;
    return low;
}

}  // namespace

std::string_view controlCodeName(ControlCode c) { return kNames.at(static_cast<std::size_t>(codeNumber(c))); }

std::optional<ControlCode> controlCodeFromNumber(int number) {
    if (number < 1 || number > kControlCodeCount) return std::nullopt;
    return static_cast<ControlCode>(number);
}

std::optional<ControlCode> parseControlCode(std::string_view text) {
    if (!text.empty() && text.size() <= 2 &&
        std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        int number = 0;
        for (char ch : text) number = number * 10 + (ch - '0');
        return controlCodeFromNumber(number);
    }
    for (int n = 1; n <= kControlCodeCount; ++n) {
        if (equalsIgnoringCase(text, kNames[static_cast<std::size_t>(n)])) return static_cast<ControlCode>(n);
    }
    return std::nullopt;
}

ControlCodeSet::ControlCodeSet(std::initializer_list<ControlCode> codes) {
    for (ControlCode c : codes) add(c);
}

ControlCodeSet ControlCodeSet::range(ControlCode from, ControlCode to) {
    ControlCodeSet set;
    for (int n = codeNumber(from); n <= codeNumber(to); ++n) set.add(static_cast<ControlCode>(n));
    return set;
}

std::span<const std::uint8_t> ControlCodeSet::numbers() const {
    std::size_t count = 0;
    for (int n = 1; n <= kControlCodeCount; ++n) {
        if ((m_mask >> n) & 1U) m_numbers[count++] = static_cast<std::uint8_t>(n);
    }
    return std::span<const std::uint8_t>(m_numbers.data(), count);
}

void buildPatterns(RandomSource& random, std::int32_t seed, const CallSlotSeeds& slotSeeds,
                   bool forCall, ControlPatternTable& table) {
    table = ControlPatternTable{};
    random.reset();
    random.seed(seed + 10);
    // Codes 1..21: a tone of the drawn band that no lower code uses at this symbol, when eight
    // draws find one; otherwise the eighth draw stands.
    for (int c = 1; c <= codeNumber(ControlCode::IdleAck); ++c) {
        int previous = 0;
        for (int s = 0; s < kControlSymbols; ++s) {
            const int low = drawBand(random, previous);
            previous = low;
            table.bandLow[c][s] = static_cast<std::uint8_t>(low);
            int tone = 0;
            for (int attempt = 0; attempt < 8; ++attempt) {
                tone = random.draw(6) + low;
                bool clash = false;
                for (int k = 1; k < c && !clash; ++k) clash = table.toneOf[k][s] == tone;
                if (!clash) break;
            }
            table.toneOf[c][s] = static_cast<std::uint8_t>(tone);
        }
    }
    // Call1..Call5: each from its own seed, so a station's Call codes never depend on the link.
    for (int c = codeNumber(ControlCode::Call1); c <= codeNumber(ControlCode::Call5); ++c) {
        const bool destination = c == codeNumber(ControlCode::Call1) && forCall;
        random.reset();
        random.seed(destination ? seed : slotSeeds[static_cast<std::size_t>(c - 22)]);
        int previous = 0;
        for (int s = 0; s < kControlSymbols; ++s) {
            const int low = drawBand(random, previous);
            previous = low;
            table.bandLow[c][s] = static_cast<std::uint8_t>(low);
            table.toneOf[c][s] = static_cast<std::uint8_t>(low + random.draw(6));
        }
    }
}

ControlCodeSet withoutEmptyCallSlots(ControlCodeSet set, const std::array<std::string, kCallSlots>& myCalls) {
    for (int slot = 1; slot <= kCallSlots; ++slot) {
        if (myCalls[static_cast<std::size_t>(slot - 1)].empty()) {
            set.remove(static_cast<ControlCode>(codeNumber(ControlCode::Call1) + slot - 1));
        }
    }
    return set;
}

}  // namespace zolk
