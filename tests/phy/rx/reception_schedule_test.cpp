#include "phy/rx/reception_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "phy/common/mode_table.h"
#include "support/recording_entries.h"

namespace zolk {
namespace {

using test::RecordingEntries;

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
    // A found frame is decoded at once when asked to, else staged; its verdict (stage 10 or the
    // immediate decode) is `good` at the place the search asked for, with a display proposed.
    SearchResult search(const SearchRequest& request) override {
        searches.push_back({request, m_schedule.stateTicks(), m_schedule.frameTicks()});
        if (!finds) return {};
        m_place = request.place;
        if (!request.decodeNow) return {SearchOutcome::Staged, std::nullopt};
        return {SearchOutcome::Decoded, verdict()};
    }
    std::optional<FrameVerdict> decodeStage(int stage) override {
        stages.push_back({stage, m_schedule.frameTicks()});
        if (stage < kDecodeStages) return std::nullopt;
        return verdict();
    }
    void followFrequency(FrameVerdict& v) override {
        if (v.good && v.display.gauges) ++followed;
    }
    ModeIndex detectedMode() const override { return ModeIndex(5); }

    bool newFrames = false;
    bool finds = false;
    bool good = true;
    int followed = 0;  // verdicts that moved the frequency correction
    std::vector<Search> searches;
    std::vector<Stage> stages;

private:
    FrameVerdict verdict() const {
        FrameVerdict v{.mode = 5, .good = good, .bytes = m_bytes, .display = {}, .place = m_place};
        v.display.gauges = true;
        return v;
    }

    const ReceptionSchedule& m_schedule;
    FramePlace m_place = FramePlace::Only;
    std::array<std::uint8_t, 3> m_bytes{1, 2, 3};
};

constexpr int kMode = 5;

struct Rig {
    RecordingEntries entries;
    std::vector<FrameVerdict> verdicts;
    ReceptionSchedule schedule{entries, SearchWindows::Session, [this](const FrameVerdict& v) { verdicts.push_back(v); }};
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
    FramePlace place;
    bool decodeNow;
};

TEST(ReceptionSchedule, SearchesOnlyInsideTheWindowsAfterTheOwnTransmission) {
    const std::int32_t f = frameLength();
    const WindowCase cases[] = {
        {1, f - 180, false, FramePlace::Only, false},
        {1, f - 179, true, FramePlace::Only, true},
        {1, f + 5623, true, FramePlace::Only, true},
        {1, f + 5624, false, FramePlace::Only, false},
        {2, f - 180, false, FramePlace::Only, false},
        {2, f - 179, true, FramePlace::FirstOfTwo, false},
        {2, 2 * f + 180, true, FramePlace::FirstOfTwo, false},
        {2, 2 * f + 181, true, FramePlace::SecondOfTwo, true},
        {2, 2 * f + 5623, true, FramePlace::SecondOfTwo, true},
        {2, 2 * f + 5624, false, FramePlace::Only, false},
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
        EXPECT_EQ(s.request.place, c.place);
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
    rig.chain.finds = false;
    rig.ticks(deadline - 2);
    EXPECT_EQ(rig.entries.calls(), std::vector<std::string>{"onFirstFrame 3"});
    rig.ticks(1);
    EXPECT_EQ(rig.entries.calls(), (std::vector<std::string>{"onFirstFrame 3", "onMissingFrame"}));
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

// Every verdict leaves once: one session entry, the frequency correction for a shown good frame,
// then the sink. The only or second frame, and any monitored one, ends the staged count.
TEST(ReceptionSchedule, EachVerdictCallsOneSessionEntryThenTheSink) {
    const std::int32_t f = frameLength();
    struct Case {
        const char* name;
        int framesPerBurst;  // 0: monitor mode
        std::int32_t stateTicks;
        bool good;
        bool hidden;  // the session takes the monitored frame
        const char* entry;
        bool counting;  // frameTicks still runs after the verdict
        bool shown;
    };
    const Case cases[] = {
        {"single good", 1, f, true, false, "onFrame 3", false, true},
        {"single failed", 1, f, false, false, "onMissingFrame", false, true},
        {"first of two good", 2, f, true, false, "onFirstFrame 3", true, true},
        {"first of two failed", 2, f, false, false, "onFirstFrameFailed", true, true},
        {"second of two good", 2, 2 * f + 181, true, false, "onFrame 3", false, true},
        {"second of two failed", 2, 2 * f + 181, false, false, "onMissingFrame", false, true},
        {"monitored good", 0, 1, true, false, "onMonitorFrame 3", false, true},
        {"monitored, taken by the session", 0, 1, true, true, "onMonitorFrame 3", false, false},
        {"monitored failed", 0, 1, false, false, nullptr, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.framesPerBurst == 0) {
            rig.schedule.setMonitor(true);
        } else {
            rig.schedule.receive(kMode, c.framesPerBurst);
        }
        rig.entries.hideMonitorFrames = c.hidden;
        rig.chain.good = c.good;
        rig.chain.finds = true;
        rig.searchAt(c.stateTicks);
        rig.chain.finds = false;
        for (int i = 0; i < f && rig.verdicts.empty(); ++i) rig.ticks(1);

        ASSERT_EQ(rig.verdicts.size(), 1U);
        EXPECT_EQ(rig.entries.calls(), c.entry == nullptr ? std::vector<std::string>{} : std::vector<std::string>{c.entry});
        EXPECT_EQ(rig.schedule.frameTicks() != 0, c.counting);
        EXPECT_EQ(rig.verdicts.front().display.gauges, c.shown);
        EXPECT_EQ(rig.chain.followed, c.good && c.shown ? 1 : 0);
        // In monitor mode the scanning resumes at once.
        if (c.framesPerBurst == 0) {
            rig.chain.searches.clear();
            rig.chain.newFrames = true;
            rig.ticks(1);
            EXPECT_FALSE(rig.chain.searches.empty());
        }
    }
}

}  // namespace
}  // namespace zolk
