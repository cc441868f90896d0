// session_options.h: zolk-session's command line: the path, the bytes each host sends, the run.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/station_pair.h"

namespace zolk::sessiontool {

struct BadArguments : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SessionOptions {
    sim::LinkSettings link;
    std::size_t bytesFromA = 2000;
    std::size_t bytesFromB = 0;
    double limitS = 3600.0;  // virtual seconds for the transfer
    bool quiet = false;      // the summary only, no replies
    std::string logs;        // keep the station folders (session logs at debug level) here
    bool help = false;
};

inline constexpr std::string_view kUsage =
    "usage: zolk-session [--snr DB] [--floor] [--delay MS] [--offset HZ] [--drift HZ_PER_S] [--ppm X]\n"
    "                    [--fading SPREAD_HZ,DELAY_MS] [--bytes A_TO_B[,B_TO_A]] [--seed S]\n"
    "                    [--limit SECONDS] [--logs DIR] [--quiet] | -h | --help\n"
    "Two stations, EA5ABC (A) calling N0CALL (B), across a simulated satellite path in virtual\n"
    "time: each host hands over its bytes, A calls, both send, A disconnects when every byte has\n"
    "arrived and been acknowledged. Prints each host's replies with their virtual time, then the\n"
    "bytes each host got, whether they match, and the goodput.\n"
    "  --snr DB              S/N in 2500 Hz against each transmission's power (default: no noise)\n"
    "  --floor               --snr on a fixed noise floor instead: the S/N of a 10 dB-crest signal at\n"
    "                        the sender's peak level (the modem's own scale)\n"
    "  --delay MS            one-way delay (default 300)\n"
    "  --offset HZ           frequency offset at the start; --drift HZ_PER_S its change\n"
    "  --ppm X               receiver clock against sender clock\n"
    "  --fading S,D          two-path fading: Doppler spread S Hz, second path D ms later\n"
    "  --bytes N[,M]         bytes A sends to B and B sends to A (default 2000,0; at most 10000000)\n"
    "  --seed S              seed of the noise, fading and bytes (default 1)\n"
    "  --limit SECONDS       virtual time allowed for the transfer (default 3600)\n"
    "  --logs DIR            keep both stations' folders, with their session logs at debug level,\n"
    "                        in DIR/a and DIR/b\n"
    "  --quiet               print the summary only\n";

// Throws BadArguments with the message to show.
SessionOptions parseOptions(std::span<const std::string_view> args);

}  // namespace zolk::sessiontool
