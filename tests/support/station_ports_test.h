// station_ports_test.h: a fixture for a station a test builds itself: the four ports it runs on,
// each a recording fake the test reads, and a scratch folder for its files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "app/station.h"
#include "sim/recording_host_link.h"
#include "sim/recording_ui.h"
#include "support/fake_audio_devices.h"
#include "support/recording_timers.h"
#include "support/scratch_dir.h"

namespace zolk::test {

class StationPortsTest : public ::testing::Test {
protected:
    ScratchDir m_scratch;
    const std::filesystem::path& m_folder = m_scratch.path();
    sim::RecordingHostLink link;
    sim::RecordingUi ui;
    RecordingTimers timers;
    FakeAudioDevices audio;
    StationPorts ports{timers, link, audio, ui};
};

}  // namespace zolk::test
