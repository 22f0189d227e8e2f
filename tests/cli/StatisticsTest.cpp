// The figures a person compares runs by: which is the headline, and how
// the aggregate differs from the mean when one run is slow.

#include "CopyName.h"
#include "Statistics.h"

#include <gtest/gtest.h>

using cli::Sample;
using cli::summarize;

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

} // namespace

TEST(Statistics, OneSlowRunMovesTheMeanAndTheAggregateButTheMedianLess)
{
    // 100 MiB in 1 s, 2 s and 4 s: rates 100, 50 and 25 MiB/s.
    const auto s = summarize({{100 * kMiB, 1}, {100 * kMiB, 2}, {100 * kMiB, 4}});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->runs, 3);
    EXPECT_DOUBLE_EQ(s->median, 50.0 * kMiB);
    EXPECT_DOUBLE_EQ(s->min, 25.0 * kMiB);
    EXPECT_DOUBLE_EQ(s->max, 100.0 * kMiB);
    EXPECT_DOUBLE_EQ(s->mean, 175.0 / 3 * kMiB);
    // Total bytes over total seconds, not the mean of the rates.
    EXPECT_DOUBLE_EQ(s->aggregate, 300.0 / 7 * kMiB);
    ASSERT_TRUE(s->stdev);
    EXPECT_NEAR(*s->stdev, 38.188130791298666 * kMiB, 1e-6 * kMiB);
}

TEST(Statistics, AnEvenCountTakesTheMiddleTwoAndOneRunHasNoDeviation)
{
    const auto two = summarize({{100 * kMiB, 1}, {100 * kMiB, 3}});
    ASSERT_TRUE(two);
    EXPECT_NEAR(two->median, 200.0 / 3 * kMiB, 1e-6);
    EXPECT_DOUBLE_EQ(two->aggregate, 50.0 * kMiB);
    const auto one = summarize({{10 * kMiB, 0.5}});
    ASSERT_TRUE(one);
    EXPECT_FALSE(one->stdev);
    EXPECT_FALSE(summarize({}));
}

TEST(CopyName, AHostNameCanOnlyEverNameAFileInTheTargetFolder)
{
    EXPECT_EQ(cli::copyName("ws-17", 42), "dozozeda-ws-17-42.tmp");
    EXPECT_EQ(cli::copyName("../x\\y:z.lan", 7), "dozozeda-___x_y_z_lan-7.tmp");
    EXPECT_EQ(cli::copyName("", 7), "dozozeda-host-7.tmp");
}
