#include "host/status_lines.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "sim/recording_host_link.h"

namespace zolk {
namespace {

using sim::RecordingHostLink;

TEST(StatusLines, EachLineIsItsExactTextEndedByOneCarriageReturn) {
    struct Case {
        std::string_view expected;
        std::function<void(HostLinkPort&)> send;
    };
    const std::array<Case, 11> kCases{{
        {"OK\r", [](HostLinkPort& l) { sendOk(l); }},
        {"WRONG\r", [](HostLinkPort& l) { sendWrong(l); }},
        {"CONNECTED EA5ABC-7 K1T\r", [](HostLinkPort& l) { sendConnected(l, "EA5ABC-7", "K1T"); }},
        {"DISCONNECTED\r", [](HostLinkPort& l) { sendDisconnected(l); }},
        {"BUFFER 0\r", [](HostLinkPort& l) { sendBuffer(l, 0); }},
        {"BUFFER 1234567\r", [](HostLinkPort& l) { sendBuffer(l, 1234567); }},
        {"PENDING\r", [](HostLinkPort& l) { sendPending(l); }},
        {"CANCELPENDING\r", [](HostLinkPort& l) { sendCancelPending(l); }},
        {"BUSY ON\r", [](HostLinkPort& l) { sendBusy(l, true); }},
        {"BUSY OFF\r", [](HostLinkPort& l) { sendBusy(l, false); }},
        {"PTT ON\r", [](HostLinkPort& l) { sendPtt(l, true); }},
    }};
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.expected));
        RecordingHostLink link;
        link.setConnected(HostSocket::Command, true);
        link.setConnected(HostSocket::Data, true);
        c.send(link);
        EXPECT_EQ(link.sentText(HostSocket::Command), c.expected);
        EXPECT_TRUE(link.sentText(HostSocket::Data).empty());
    }
}

}  // namespace
}  // namespace zolk
