// curve.h: frame success against S/N for one modem on one channel condition, and the S/N where
// success first reaches 90 %. Owns the measured points; the modem and the channel are the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "modem_under_test.h"
#include "phy_trial.h"
#include "sim/channel_model.h"

namespace zolk::bench {

struct CurvePoint {
    double snrDb = 0.0;
    int ok = 0;
    int frames = 0;
    double estimateErrorSum = 0.0;  // sum over decoded frames of (receiver's estimate - true S/N)
    int estimates = 0;
};

struct Curve {
    std::vector<CurvePoint> points;  // ascending S/N
    std::optional<double> snr90Db;   // lowest measured S/N with at least 90 % success
    double trialCpuSeconds = 0.0;
};

struct CurveSearch {
    double startDb = 0.0;   // first point; the search walks down or up from there
    double stepDb = 1.0;
    int frames = 10;        // transmissions per point
    bool wholeFall = false; // also walk down until success is at most 10 %, for the plot
    std::uint64_t seed = 1;
};

// Walks from startDb in steps: downwards while success stays at 90 % or more, else upwards until it
// gets there (at most 40 points each way). Every transmission has its own channel and payload seed.
Curve measureCurve(ModemUnderTest& modem, const sim::ChannelSettings& condition, const CurveSearch& search);

}  // namespace zolk::bench
