// The transmit and receive buffers: every byte the host hands over leaves once, in order, and a
// frame is never stored over bytes still waiting.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <numeric>
#include <random>
#include <vector>

#include "session/receive_buffer.h"
#include "session/transmit_buffer.h"

namespace zolk {
namespace {

std::vector<std::uint8_t> counting(std::size_t n, std::size_t from = 0) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((from + i) * 7 + 3);
    return bytes;
}

std::vector<std::uint8_t> toVector(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

// A reference model of the transmit side: the pending bytes as a list of (sequence, byte) in age
// order, and the two frames of the burst as sequence ranges into it.
struct PendingModel {
    std::deque<std::pair<std::size_t, std::uint8_t>> pending;
    std::vector<std::size_t> frame[2];

    std::vector<std::uint8_t> cut(int k, std::size_t maxBytes) {
        const std::size_t skip = k == 1 ? 0 : frame[0].size();
        frame[k - 1].clear();
        std::vector<std::uint8_t> out;
        for (std::size_t i = skip; i < pending.size() && out.size() < maxBytes; ++i) {
            frame[k - 1].push_back(pending[i].first);
            out.push_back(pending[i].second);
        }
        return out;
    }
    // A frame's bytes are consecutive in the pending list, which is sorted by sequence.
    void release(int k) {
        auto& f = frame[k - 1];
        if (f.empty()) return;
        const auto first = std::lower_bound(pending.begin(), pending.end(), f.front(),
                                            [](const auto& p, std::size_t seq) { return p.first < seq; });
        pending.erase(first, first + static_cast<std::ptrdiff_t>(f.size()));
        f.clear();
    }
};

// Random traffic over a small window of the ring, round and round it: appends, one- and
// two-frame bursts, and every release pattern an answer can give (both, only 1, only 2, none).
TEST(TransmitBuffer, RandomBurstsMatchTheReferenceModel) {
    TransmitBuffer buffer;
    PendingModel model;
    std::mt19937 rng(1234);
    std::size_t sequence = 0;
    for (int round = 0; round < 6000; ++round) {
        // Topped up while short, so the ring goes round many times with a few thousand pending.
        const std::size_t add = model.pending.size() < 4000 ? rng() % 700 : 0;
        const auto bytes = counting(add, sequence);
        const std::size_t taken = buffer.append(bytes);
        for (std::size_t i = 0; i < taken; ++i) model.pending.emplace_back(sequence + i, bytes[i]);
        sequence += taken;
        ASSERT_EQ(buffer.pendingBytes(), model.pending.size());

        const std::size_t room = 1 + rng() % 400;
        ASSERT_EQ(toVector(buffer.cutFirstFrame(room)), model.cut(1, room));
        const bool twoFrames = rng() % 2 == 0;
        if (twoFrames) {
            ASSERT_EQ(toVector(buffer.cutSecondFrame(room)), model.cut(2, room));
        }
        ASSERT_EQ(buffer.bytesAfter(twoFrames ? 2 : 1),
                  model.pending.size() - model.frame[0].size() - model.frame[1].size());
        switch (rng() % 4) {
            case 0:
                buffer.release(1);
                model.release(1);
                if (twoFrames) {
                    buffer.release(2);
                    model.release(2);
                }
                break;
            case 1:
                buffer.release(1);
                model.release(1);
                break;
            case 2:
                if (twoFrames) {
                    buffer.release(2);
                    model.release(2);
                }
                break;
            default:
                break;
        }
        model.frame[0].clear();
        model.frame[1].clear();
        ASSERT_EQ(buffer.pendingBytes(), model.pending.size()) << "round " << round;
        // A frame 2 released before frame 1 still counts as undelivered: the peer holds it back.
        ASSERT_EQ(buffer.undeliveredBytes(), model.pending.empty() ? 0 : sequence - model.pending.front().first)
            << "round " << round;
    }
    EXPECT_GT(sequence, 2 * TransmitBuffer::kCapacityBytes) << "the ring went round";
}

TEST(TransmitBuffer, FullRingTakesNoMoreUntilAFrameIsReleased) {
    TransmitBuffer buffer;
    const auto bytes = counting(TransmitBuffer::kCapacityBytes + 1);
    EXPECT_EQ(buffer.append(bytes), TransmitBuffer::kCapacityBytes);
    EXPECT_TRUE(buffer.full());
    EXPECT_EQ(buffer.append(std::span(bytes).last(1)), 0u);
    EXPECT_EQ(buffer.pendingBytes(), TransmitBuffer::kCapacityBytes);

    // The oldest bytes were kept, not overwritten.
    EXPECT_EQ(toVector(buffer.cutFirstFrame(5)), counting(5));
    EXPECT_EQ(buffer.release(1), 5u);
    EXPECT_FALSE(buffer.full());
    EXPECT_EQ(buffer.append(std::span(bytes).last(1)), 1u);
    EXPECT_EQ(buffer.append(bytes), 4u);
    EXPECT_TRUE(buffer.full());
}

TEST(TransmitBuffer, FrameIsReleasedOnce) {
    TransmitBuffer buffer;
    buffer.append(counting(30));
    buffer.cutFirstFrame(10);
    buffer.cutSecondFrame(10);
    EXPECT_EQ(buffer.release(2), 10u);
    EXPECT_EQ(buffer.release(2), 0u) << "a repeated answer must not release bytes never sent";
    EXPECT_EQ(buffer.pendingBytes(), 20u);
    // Frame 1 is still pending and comes first, followed by what came after frame 2.
    auto expected = counting(10);
    const auto tail = counting(10, 20);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(toVector(buffer.cutFirstFrame(20)), expected);
}

TEST(TransmitBuffer, ClearForgetsEverything) {
    TransmitBuffer buffer;
    buffer.append(counting(1000));
    buffer.cutFirstFrame(100);
    buffer.clear();
    EXPECT_EQ(buffer.pendingBytes(), 0u);
    EXPECT_TRUE(buffer.cutFirstFrame(100).empty());
    EXPECT_EQ(buffer.append(counting(TransmitBuffer::kCapacityBytes)), TransmitBuffer::kCapacityBytes);
}

// One burst on the receiving side: which frames arrived and in which mode's frame size.
struct StoreStep {
    std::size_t firstBytes;   // payload of frame 1 (or of the only frame)
    bool firstArrived;
    std::size_t secondBytes;  // 0: a one-frame burst
    bool secondArrived;
    std::size_t userBytes;    // UserBytes of the burst's mode
};

struct StoreCase {
    const char* name;
    std::vector<StoreStep> steps;
};

void PrintTo(const StoreCase& c, std::ostream* out) { *out << c.name; }

// Plays the sender's side of each burst (what a frame carries follows from what was acknowledged)
// and checks that the host sees the byte stream in order once the gaps are filled.
class ReceiveOrder : public testing::TestWithParam<StoreCase> {};

TEST_P(ReceiveOrder, RepeatsFillTheGapsInOrder) {
    ReceiveBuffer buffer;
    std::deque<std::uint8_t> pending;  // the sender's unacknowledged stream
    std::size_t next = 0;
    std::vector<std::uint8_t> delivered;
    std::vector<std::uint8_t> sent;
    for (const StoreStep& step : GetParam().steps) {
        // The sender's pending bytes, topped up to cover this burst.
        while (pending.size() < step.firstBytes + step.secondBytes) {
            const auto b = counting(1, next++)[0];
            pending.push_back(b);
            sent.push_back(b);
        }
        const std::vector<std::uint8_t> one(pending.begin(), pending.begin() + step.firstBytes);
        const std::vector<std::uint8_t> two(pending.begin() + step.firstBytes,
                                            pending.begin() + step.firstBytes + step.secondBytes);
        if (step.firstArrived) {
            ASSERT_TRUE(buffer.storeFirst(one));
        }
        if (step.secondBytes > 0 && step.secondArrived) {
            ASSERT_TRUE(buffer.storeSecond(two, step.firstArrived, step.userBytes));
        }
        // Acknowledged frames leave the sender.
        if (step.secondBytes > 0 && step.secondArrived)
            pending.erase(pending.begin() + step.firstBytes,
                          pending.begin() + step.firstBytes + step.secondBytes);
        if (step.firstArrived) pending.erase(pending.begin(), pending.begin() + step.firstBytes);
        const auto ready = buffer.waiting();
        delivered.insert(delivered.end(), ready.begin(), ready.end());
        buffer.consume(ready.size());
    }
    ASSERT_TRUE(pending.empty()) << "the case must end with everything acknowledged";
    EXPECT_EQ(delivered, sent);
    EXPECT_EQ(buffer.heldBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, ReceiveOrder,
    testing::Values(
        StoreCase{"InOrder", {{100, true, 100, true, 100}, {60, true, 0, false, 100}}},
        StoreCase{"FirstLostThenRepeated", {{100, true, 100, true, 100},
                                            {100, false, 100, true, 100},
                                            {100, true, 0, false, 100}}},
        // Frame 1 lost, then the sender drops a mode: the repeat arrives in smaller frames.
        StoreCase{"FirstLostRepeatedInSmallerFrames", {{100, false, 100, true, 100},
                                                       {60, true, 60, true, 60},
                                                       {20, true, 0, false, 60}}},
        StoreCase{"FirstLostTwiceInSmallerFrames", {{100, false, 100, true, 100},
                                                    {60, false, 60, true, 60},
                                                    {60, true, 0, false, 60}}},
        // After the smaller repeat the mode goes up again before the gap is closed.
        StoreCase{"GapClosedByALargerFrame", {{100, false, 100, true, 100},
                                              {60, true, 0, false, 60},
                                              {150, true, 0, false, 150}}},
        StoreCase{"SecondLost", {{100, true, 100, false, 100}, {100, true, 100, true, 100}}},
        // Frame 1 lost again while the gap of an earlier lost frame 1 is still partly open: the
        // room kept for the repeat counts free positions, past the earlier frame 2.
        StoreCase{"GapLeftBehindAnEarlierSecondFrame", {{102, false, 102, true, 102},
                                                        {46, true, 46, true, 46},
                                                        {46, false, 46, true, 46},
                                                        {46, true, 0, false, 46}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReceiveBuffer, NoRoomRefusesTheFrameAndKeepsEveryByte) {
    ReceiveBuffer buffer;
    const auto first = counting(ReceiveBuffer::kCapacityBytes - 10);
    ASSERT_TRUE(buffer.storeFirst(first));
    EXPECT_FALSE(buffer.storeFirst(counting(11, 1000)));
    EXPECT_FALSE(buffer.storeSecond(counting(5, 1000), false, 6)) << "the kept gap must fit too";
    EXPECT_EQ(buffer.heldBytes(), first.size());
    EXPECT_EQ(toVector(buffer.waiting()), first);

    ASSERT_TRUE(buffer.storeFirst(counting(10, 2000)));
    EXPECT_EQ(buffer.heldBytes(), ReceiveBuffer::kCapacityBytes);
    // The host takes part; exactly that much room opens, across the ring's end.
    buffer.consume(100);
    EXPECT_FALSE(buffer.storeFirst(counting(101, 3000)));
    EXPECT_TRUE(buffer.storeFirst(counting(100, 3000)));
    auto expected = std::vector<std::uint8_t>(first.begin() + 100, first.end());
    for (const auto& part : {counting(10, 2000), counting(100, 3000)})
        expected.insert(expected.end(), part.begin(), part.end());
    EXPECT_EQ(toVector(buffer.waiting()), expected);
}

// A host that is slow to read leaves bytes at the read index; a burst whose frame 1 is lost must
// still keep the gap for it in front of frame 2.
TEST(ReceiveBuffer, UndeliveredBytesDoNotMoveTheGapOfALostFirstFrame) {
    ReceiveBuffer buffer;
    ASSERT_TRUE(buffer.storeFirst(counting(50)));                      // not yet taken by the host
    ASSERT_TRUE(buffer.storeSecond(counting(40, 90), false, 40));      // frame 1 (50..89) lost
    EXPECT_EQ(toVector(buffer.waiting()), counting(50));
    ASSERT_TRUE(buffer.storeFirst(counting(40, 50)));                  // the repeat
    EXPECT_EQ(toVector(buffer.waiting()), counting(130));
    buffer.consume(30);
    EXPECT_EQ(toVector(buffer.waiting()), counting(100, 30));
    EXPECT_EQ(buffer.heldBytes(), 100u);
}

}  // namespace
}  // namespace zolk
