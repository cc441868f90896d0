#include "curve.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>

namespace zolk::bench {
namespace {

constexpr int kMaxSteps = 40;

bool reaches90(const CurvePoint& p) { return 10 * p.ok >= 9 * p.frames; }

}  // namespace

Curve measureCurve(ModemUnderTest& modem, const sim::ChannelSettings& condition, const CurveSearch& search) {
    std::map<long, CurvePoint> points;  // keyed by S/N in tenths of a dB
    double cpu = 0.0;
    const auto measure = [&](double snrDb) -> const CurvePoint& {
        const long key = std::lround(snrDb * 10.0);
        auto [it, fresh] = points.try_emplace(key);
        CurvePoint& p = it->second;
        if (!fresh) return p;
        p.snrDb = static_cast<double>(key) / 10.0;
        p.frames = search.frames;
        const std::clock_t start = std::clock();
        for (int i = 0; i < search.frames; ++i) {
            sim::ChannelSettings channel = condition;
            channel.snrDb = p.snrDb;
            channel.seed = phytool::trialSeed(search.seed, static_cast<std::uint64_t>(key + 100000), static_cast<std::uint64_t>(i), 1);
            const TrialResult r = modem.trial(channel, phytool::trialSeed(search.seed, static_cast<std::uint64_t>(key + 100000), static_cast<std::uint64_t>(i), 2));
            if (!r.ok) continue;
            ++p.ok;
            if (r.snrEstimateDb) {
                p.estimateErrorSum += *r.snrEstimateDb - p.snrDb;
                ++p.estimates;
            }
        }
        cpu += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        return p;
    };
    double snr = search.startDb;
    if (reaches90(measure(snr))) {
        for (int i = 0; i < kMaxSteps && reaches90(measure(snr - search.stepDb)); ++i) snr -= search.stepDb;
    } else {
        for (int i = 0; i < kMaxSteps && !reaches90(measure(snr + search.stepDb)); ++i) snr += search.stepDb;
    }
    if (search.wholeFall) {
        double low = points.begin()->second.snrDb;
        for (int i = 0; i < kMaxSteps && 10 * points.begin()->second.ok > points.begin()->second.frames; ++i) {
            low -= search.stepDb;
            measure(low);
        }
    }
    Curve curve;
    curve.trialCpuSeconds = cpu;
    for (const auto& [key, p] : points) curve.points.push_back(p);
    const auto first = std::find_if(curve.points.begin(), curve.points.end(), reaches90);
    if (first != curve.points.end()) curve.snr90Db = first->snrDb;
    return curve;
}

}  // namespace zolk::bench
