// The caller's call sign in the identification payload: what goes out, what is read back, and
// what is refused because it would reach a host reply line.
#include "session/identification.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "phy/common/call_sign.h"

namespace zolk {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Identification, PayloadCarriesBaseCallPaddedAndSsidByte) {
    struct Case {
        std::string_view call;
        std::string_view base;
        std::uint8_t ssid;
    };
    for (const Case c : {Case{"N0CALL-7", "N0CALL ", 7}, Case{"n0call-r", "N0CALL ", 17},
                         Case{"K1T-t", "K1T    ", 16}, Case{"EA5ABC-X", "EA5ABC ", 18},
                         Case{"DL1ABCD", "DL1ABCD", 0}, Case{"W1AW-", "W1AW   ", 0}}) {
        const auto payload = identificationPayload(c.call);
        EXPECT_EQ(std::string(payload.begin(), payload.begin() + 7), c.base) << c.call;
        EXPECT_EQ(payload[7], c.ssid) << c.call;
    }
}

TEST(Identification, ReadsWhatTheCallerSentAndRefusesWhatWouldForgeAReply) {
    struct Case {
        std::vector<std::uint8_t> payload;
        std::optional<std::string> call;
    };
    auto withSsid = [](std::string_view base, std::uint8_t ssid) {
        auto bytes = bytesOf(base);
        bytes.push_back(ssid);
        return bytes;
    };
    const std::vector<Case> cases = {
        {withSsid("N0CALL ", 7), "N0CALL-7"},
        {withSsid("N0CALL ", 17), "N0CALL-R"},
        {withSsid("K1T    ", 16), "K1T-T"},
        {withSsid("EA5ABC ", 18), "EA5ABC-X"},
        {withSsid("DL1ABCD", 0), "DL1ABCD"},
        {withSsid("W1AW   ", 200), "W1AW-200"},
        {bytesOf("W1AW"), "W1AW"},  // cut short before the SSID byte
        {withSsid("       ", 7), std::nullopt},
        {{}, std::nullopt},
        {withSsid("AB\rCONN", 0), std::nullopt},
        {withSsid("AB CD  ", 0), std::nullopt},
        {withSsid(" W1AW  ", 0), std::nullopt},
        {withSsid("W1-AW  ", 0), std::nullopt},
        {withSsid(std::string_view("W1\0AW  ", 7), 0), std::nullopt},
        {withSsid("W1\xC3\x81W  ", 0), std::nullopt},
    };
    for (const Case& c : cases) {
        const std::string shown(c.payload.begin(), c.payload.end());
        EXPECT_EQ(callFromIdentification(c.payload), c.call) << "payload \"" << shown << "\"";
    }
}

// SSID 18 and X share a byte on the air, so a call sign with -18 reads back as -X.
TEST(Identification, ValidCallSignsReadBackInUpperCase) {
    for (const std::string_view call : {"N0CALL-7", "n0call-r", "K1T-T", "W1AW", "DL1ABCD-15", "ea5abc-x"}) {
        EXPECT_EQ(callFromIdentification(identificationPayload(call)), upperAscii(call)) << call;
    }
}

}  // namespace
}  // namespace zolk
