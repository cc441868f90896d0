// burst_answer.h: the receiving station's answer to a data burst: one control code that both
// acknowledges the burst and moves the sender's mode. Owns no state.
#pragma once

#include <array>

#include "session/control_codes.h"

namespace zolk {

struct BurstAnswer {
    ControlCode code;
    int mode;  // the mode of the next burst
};

// mode 1..13 of the burst; highestAllowed from the learner; allOk = every frame of the burst
// arrived; margins of mode .. mode + 4 in dB; backlog = the class in the burst's header. The
// sender climbs only when the burst arrived whole, the next mode has margin and its backlog would
// fill the bigger frames; it steps down when the margin of its own mode is gone.
BurstAnswer chooseBurstAnswer(int mode, int highestAllowed, bool allOk,
                              const std::array<float, 5>& margins, int backlog);

}  // namespace zolk
