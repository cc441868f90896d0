// recording_front_end_client.h: the receive front-end's client as a test sets it up: the receive
// conditions the test chooses, and every busy and waterfall sample and session tick the front-end
// gave. With frontEnd set, each tick also notes a new spectrogram row and runs onRow.
#pragma once

#include <functional>
#include <vector>

#include "phy/rx/receive_front_end.h"

namespace zolk::test {

class RecordingFrontEndClient final : public FrontEndClient {
public:
    ReceiveConditions receiveConditions() const override { return conditions; }
    void busySample(Complex x) override { busy.push_back(x); }
    void waterfallSample(Complex x) override { waterfall.push_back(x); }
    void sessionTick() override {
        ++ticks;
        // The tick sees the flags of the step that just ran, as the session tick does.
        if (frontEnd == nullptr || !frontEnd->newSpectrogramRow()) return;
        ++newRows;
        if (onRow) onRow();
    }

    ReceiveConditions conditions;
    const ReceiveFrontEnd* frontEnd = nullptr;
    std::function<void()> onRow;
    int ticks = 0;
    int newRows = 0;
    std::vector<Complex> busy;
    std::vector<Complex> waterfall;
};

}  // namespace zolk::test
