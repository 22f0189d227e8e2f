// The per-operation times of a phase in fixed memory: percentiles within
// the stated error of the exact ones, whatever their number and spread.

#include "Latencies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using std::chrono::nanoseconds;

TEST(Latencies, PercentilesOfAHundredThousandTimesAreWithinTheStatedErrorAndTheMaximumIsExact)
{
    // From 50 ns to 20 s, spread evenly on a log scale, in random order.
    std::mt19937_64 random(2026);
    std::vector<nanoseconds> times;
    for (int i = 0; i < 100'000; ++i)
        times.emplace_back(static_cast<std::int64_t>(50 * std::pow(4e8, std::uniform_real_distribution<>(0, 1)(random))));
    measure::Latencies latencies;
    for (const nanoseconds time : times)
        latencies.add(time);

    std::sort(times.begin(), times.end());
    const auto exact = [&](double fraction) {
        return times[static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(times.size()))) - 1];
    };
    for (const double fraction : {0.001, 0.1, 0.5, 0.9, 0.99, 0.999}) {
        const double want = static_cast<double>(exact(fraction).count());
        const double got = static_cast<double>(latencies.percentile(fraction).count());
        EXPECT_LE(std::abs(got - want), want * measure::Latencies::kRelativeError) << fraction;
    }
    EXPECT_EQ(latencies.max(), times.back());
    EXPECT_EQ(latencies.count(), 100'000);
    // However many there are.
    EXPECT_LT(sizeof(measure::Latencies), 32u * 1024);
}

TEST(Latencies, FewOrTinyTimesAreExact)
{
    measure::Latencies one;
    one.add(nanoseconds(1'234'567));
    EXPECT_EQ(one.percentile(0.5), nanoseconds(1'234'567));
    EXPECT_EQ(one.percentile(0.99), nanoseconds(1'234'567));

    measure::Latencies tiny;
    for (const int ns : {3, 90, 7, 120})
        tiny.add(nanoseconds(ns));
    EXPECT_EQ(tiny.percentile(0.5), nanoseconds(7));
    EXPECT_EQ(tiny.percentile(0.75), nanoseconds(90));
    EXPECT_EQ(tiny.summary().max, 120e-9);

    EXPECT_EQ(measure::Latencies().summary().p99, 0);
}
