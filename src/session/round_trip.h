// round_trip.h: how long to wait for the peer's answer after an own transmission, learned from
// the answers of this link. Owns the sums and counts per kind; the waits are in session ticks.
#pragma once

#include <array>
#include <cstdint>

namespace zolk {

class RoundTrip {
public:
    RoundTrip() { reset(); }

    // A measured wait after an own control code, or after a data burst in mode (0 and 14 count
    // as 1); negative samples count as 0.
    void recordControl(std::int32_t sampleTicks);
    void recordData(int mode, std::int32_t sampleTicks);

    std::int32_t controlTicks() const { return m_controlRtt; }
    std::int32_t dataTicks(int mode) const;

    // No samples: the control allowance starts at 5264 ticks and the data ones follow from it.
    void reset();

private:
    void deriveUnsampledModes();

    static constexpr int kModes = 14;  // index 1..13
    std::int64_t m_controlSum = 0;
    std::int32_t m_controlCount = 0;
    std::int32_t m_controlRtt = 0;
    std::array<std::int64_t, kModes> m_sum{};
    std::array<std::int32_t, kModes> m_count{};
    std::array<double, kModes> m_mean{};
    std::array<std::int32_t, kModes> m_rtt{};
};

}  // namespace zolk
