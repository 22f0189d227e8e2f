#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace cli {

// One timed transfer.
struct Sample {
    std::int64_t bytes = 0;
    double seconds = 0;
};

// The statistics of one direction's measured runs. Rates are bytes per
// second. The median is the headline: one slow run (a disk spinning up, a
// reconnect) moves the mean and the aggregate but hardly the median.
struct RateStatistics {
    int runs = 0;
    std::int64_t bytesTotal = 0;
    double secondsTotal = 0;
    double median = 0;
    double min = 0;
    double max = 0;
    // Of the runs' rates.
    double mean = 0;
    // Total bytes over total seconds: with equal runs the harmonic mean of
    // the rates, never above the mean.
    double aggregate = 0;
    // Sample standard deviation (n - 1); nothing for a single run.
    std::optional<double> stdev;
};

// Nothing for no samples.
std::optional<RateStatistics> summarize(const std::vector<Sample>& samples);

} // namespace cli
