// fake_radio_host.h: the station's side of the radio control: keeps the PTT lines it would send the
// host, the board path it would store and how often it would ask for a board.
#pragma once

#include <string>
#include <vector>

#include "radio/radio_control.h"

namespace zolk::test {

class FakeRadioHost final : public RadioControlHost {
public:
    void reportPtt(bool on) override { hostLines.push_back(on ? "PTT ON" : "PTT OFF"); }
    bool sessionDisconnecting() const override { return disconnecting; }
    void storeBoardPath(const std::string& path) override { storedPath = path; }
    void chooseBoard() override { ++chooseRequests; }

    std::vector<std::string> hostLines;
    bool disconnecting = false;
    std::string storedPath;
    int chooseRequests = 0;
};

}  // namespace zolk::test
