#include "phy/rx/reception_schedule.h"

#include <gtest/gtest.h>

#include <vector>

#include "phy/common/mode_table.h"

namespace zolk {
namespace {

// A receiver that finds a frame whenever told to, and records what the schedule asked of it with
// the schedule's counters at that moment.
class ScriptedSearch final : public FrameSearch {
public:
    struct Search {
        SearchRequest request;
        std::int32_t stateTicks;
        std::int32_t frameTicks;
    };
    struct Stage {
        int stage;
        std::int32_t frameTicks;
    };

    explicit ScriptedSearch(const ReceptionSchedule& schedule) : m_schedule(schedule) {}

    bool newFrame(int) const override { return newFrames; }
    SearchResult search(const SearchRequest& request) override {
        searches.push_back({request, m_schedule.stateTicks(), m_schedule.frameTicks()});
        return {finds ? SearchOutcome::Staged : SearchOutcome::Nothing, std::nullopt};
    }
    std::optional<FrameVerdict> decodeStage(int stage) override {
        stages.push_back({stage, m_schedule.frameTicks()});
        return std::nullopt;
    }
    int detectedMode() const override { return 5; }

    bool newFrames = false;
    bool finds = false;
    std::vector<Search> searches;
    std::vector<Stage> stages;

private:
    const ReceptionSchedule& m_schedule;
};

class CountedEntries final : public FrameSessionEntries {
public:
    void onFirstFrame(std::span<const std::uint8_t>, float) override {}
    void onFrame(std::span<const std::uint8_t>, float) override {}
    void onFirstFrameFailed() override {}
    void onMissingFrame() override { ++missing; }
    bool onMonitorFrame(std::span<const std::uint8_t>, int) override { return false; }
    int missing = 0;
};

constexpr int kMode = 5;

struct Rig {
    CountedEntries entries;
    ReceptionSchedule schedule{entries, SearchWindows::Session};
    ScriptedSearch chain{schedule};

    void ticks(int n) {
        for (int i = 0; i < n; ++i) schedule.tick(chain);
    }
    // Ticks quietly up to stateTicks - 1, then once with a new FFT frame.
    void searchAt(std::int32_t stateTicks) {
        ticks(stateTicks - 1);
        chain.newFrames = true;
        ticks(1);
        chain.newFrames = false;
    }
};

std::int32_t frameLength() { return modeRecord(kMode).frameLengthUnits; }

struct WindowCase {
    int framesPerBurst;
    std::int32_t stateTicks;
    bool searched;
    std::uint8_t decisionFlag;
    bool decodeNow;
};

TEST(ReceptionSchedule, SearchesOnlyInsideTheWindowsAfterTheOwnTransmission) {
    const std::int32_t f = frameLength();
    const WindowCase cases[] = {
        {1, f - 180, false, 0, false},
        {1, f - 179, true, 1, true},
        {1, f + 5623, true, 1, true},
        {1, f + 5624, false, 0, false},
        {2, f - 180, false, 0, false},
        {2, f - 179, true, 1, false},
        {2, 2 * f + 180, true, 1, false},
        {2, 2 * f + 181, true, 2, true},
        {2, 2 * f + 5623, true, 2, true},
        {2, 2 * f + 5624, false, 0, false},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "burst " << c.framesPerBurst << ", stateTicks " << c.stateTicks);
        Rig rig;
        rig.schedule.receive(kMode, c.framesPerBurst);
        rig.searchAt(c.stateTicks);
        ASSERT_EQ(rig.chain.searches.size(), c.searched ? 1U : 0U);
        if (!c.searched) continue;
        const ScriptedSearch::Search& s = rig.chain.searches.front();
        EXPECT_EQ(s.request.mode, kMode);
        EXPECT_EQ(s.request.slot, 1);
        EXPECT_EQ(s.request.decisionFlag, c.decisionFlag);
        EXPECT_EQ(s.request.decodeNow, c.decodeNow);
        EXPECT_EQ(s.stateTicks, c.stateTicks);
    }
}

TEST(ReceptionSchedule, AStagedFrameRunsEachStageAtItsCheckpointAndTheSecondIsSoughtFromTheMargin) {
    const std::int32_t f = frameLength();
    Rig rig;
    rig.schedule.receive(kMode, 2);
    rig.chain.finds = true;
    rig.searchAt(f - 179);
    rig.chain.finds = false;
    ASSERT_EQ(rig.schedule.frameTicks(), 1);

    rig.chain.newFrames = true;
    rig.ticks(f);
    const auto& checkpoints = modeRecord(kMode).checkpoints;
    ASSERT_EQ(rig.chain.stages.size(), checkpoints.size());
    for (std::size_t k = 0; k < checkpoints.size(); ++k) {
        EXPECT_EQ(rig.chain.stages[k].stage, static_cast<int>(k) + 1);
        EXPECT_EQ(rig.chain.stages[k].frameTicks, checkpoints[k]);
    }
    ASSERT_GE(rig.chain.searches.size(), 2U);
    EXPECT_EQ(rig.chain.searches[1].frameTicks, f - 179);
}

TEST(ReceptionSchedule, AMissingSecondFrameIsReportedAtTheBurstDeadline) {
    const ModeRecord& r = modeRecord(kMode);
    const std::int32_t deadline = r.frameLengthUnits + 3 * r.guardEighths * r.binGroups;
    Rig rig;
    rig.schedule.receive(kMode, 2);
    rig.chain.finds = true;
    rig.searchAt(r.frameLengthUnits - 179);
    rig.ticks(deadline - 2);
    EXPECT_EQ(rig.entries.missing, 0);
    rig.ticks(1);
    EXPECT_EQ(rig.entries.missing, 1);
    EXPECT_EQ(rig.schedule.frameTicks(), 0);
}

TEST(ReceptionSchedule, MonitorModeSearchesEverySlotInItsOwnModeUntilAFrameIsStaged) {
    Rig rig;
    rig.schedule.setMonitor(true);
    rig.chain.newFrames = true;
    rig.ticks(1);
    ASSERT_EQ(rig.chain.searches.size(), static_cast<std::size_t>(kModeCount - 1));
    for (int m = 1; m < kModeCount; ++m) {
        const SearchRequest& q = rig.chain.searches[static_cast<std::size_t>(m - 1)].request;
        EXPECT_EQ(q.mode, m);
        EXPECT_EQ(q.slot, m);
        EXPECT_FALSE(q.decodeNow);
    }
    rig.chain.finds = true;
    rig.ticks(1);
    rig.chain.searches.clear();
    rig.ticks(3);
    EXPECT_TRUE(rig.chain.searches.empty());
    EXPECT_EQ(rig.schedule.frameTicks(), 4);
}

}  // namespace
}  // namespace zolk
