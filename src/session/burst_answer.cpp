#include "session/burst_answer.h"

namespace zolk {

BurstAnswer chooseBurstAnswer(int m, int highestAllowed, bool allOk,
                              const std::array<float, 5>& margins, int backlog) {
    if (!allOk) return {ControlCode::NakFirst, m > 1 ? m - 1 : m};
    struct Step {
        int up;
        ControlCode code;
    };
    constexpr Step kSteps[] = {{4, ControlCode::AckUp4},
                               {3, ControlCode::AckUp3},
                               {2, ControlCode::AckUp2},
                               {1, ControlCode::AckUp1}};
    for (const Step& step : kSteps) {
        if (m + step.up <= highestAllowed && margins[static_cast<std::size_t>(step.up)] > 0.0f &&
            backlog >= step.up + 1)
            return {step.code, m + step.up};
    }
    if (m < 2 || (margins[0] >= 0.0f && backlog != 0)) return {ControlCode::Ack, m};
    return {ControlCode::AckDown1, m - 1};
}

}  // namespace zolk
