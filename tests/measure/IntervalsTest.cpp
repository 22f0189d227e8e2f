// The rate over time of transfers on one clock: the intervals' bytes add up
// to the transfers' exactly, and a write's flush is an entry of its own.

#include "Intervals.h"

#include "Clock.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

namespace {

class SetClock : public platform::Clock {
public:
    nanoseconds now() const override { return at; }
    nanoseconds resolution() const override { return nanoseconds(1); }
    nanoseconds at{};
};

std::int64_t bytesOf(const std::vector<measure::Interval>& intervals)
{
    return std::accumulate(intervals.begin(), intervals.end(), std::int64_t{0},
                           [](std::int64_t sum, const measure::Interval& interval) { return sum + interval.bytes; });
}

} // namespace

TEST(Intervals, EachBlockIsSharedOverTheTimeItTookAndTheFlushIsAnEntryOfItsOwn)
{
    SetClock clock;
    const platform::ScopedClock useClock(clock);
    measure::BlockTimes blocks(10, 1);
    // Blocks done at 0.2, 0.5 and 1.0 s (the end of the first interval),
    // then one that took from there to 2.6 s, 1.6 s for 16,000 bytes; the
    // data is handed over at 2.6 s and flushed by 3.0 s.
    std::int64_t done = 0;
    for (const auto& [at, bytes] :
         {std::pair{200ms, 300}, std::pair{500ms, 200}, std::pair{1000ms, 100}, std::pair{2600ms, 16'001}}) {
        clock.at = at;
        blocks.record(done += bytes);
    }
    blocks.startedAt(0s);
    const auto intervals = measure::intervalsOf({&blocks, 1}, 0s, 3s, 1s, true);
    ASSERT_EQ(intervals.size(), 4u);
    EXPECT_EQ(intervals[0].bytes, 600);
    EXPECT_EQ(intervals[1].bytes, 10'000);
    // Whole bytes: the one left over goes to the block's last interval.
    EXPECT_EQ(intervals[2].bytes, 6'001);
    EXPECT_DOUBLE_EQ(intervals[2].startSeconds, 2);
    EXPECT_NEAR(intervals[2].seconds, 0.6, 1e-12);
    EXPECT_TRUE(intervals[3].flush);
    EXPECT_EQ(intervals[3].bytes, 0);
    EXPECT_NEAR(intervals[3].startSeconds, 2.6, 1e-12);
    EXPECT_NEAR(intervals[3].seconds, 0.4, 1e-12);
    EXPECT_EQ(bytesOf(intervals), done);

    // A read has no flush: its last interval runs to the end of the clock.
    const auto read = measure::intervalsOf({&blocks, 1}, 0s, 3s, 1s, false);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_FALSE(read.back().flush);
    EXPECT_DOUBLE_EQ(read.back().seconds, 1);
}

// Two streams, the second started 50 ms after the first, 1000 and 500
// bytes every 100 ms each: every whole second of both holds 15,000 bytes
// however the blocks fall; the first has 50 ms of the second stream less.
TEST(Intervals, StreamsOnOneClockAddUpFromTheFirstStart)
{
    SetClock clock;
    const platform::ScopedClock useClock(clock);
    std::vector<measure::BlockTimes> streams(2, measure::BlockTimes(0, 1));
    for (int i = 1; i <= 40; ++i) {
        clock.at = i * 100ms;
        streams[0].record(i * 1000);
        clock.at = i * 100ms + 50ms;
        streams[1].record(i * 500);
    }
    streams[0].startedAt(0ms);
    streams[1].startedAt(50ms);
    const auto intervals = measure::intervalsOf(streams, 0s, 4100ms, 1s, true);
    EXPECT_EQ(bytesOf(intervals), 40 * 1000 + 40 * 500);
    EXPECT_NEAR(intervals[0].bytes, 14'750, 1);
    for (int i = 1; i < 4; ++i)
        EXPECT_NEAR(intervals[i].bytes, 15'000, 1) << i;
    EXPECT_TRUE(intervals.back().flush);
}
