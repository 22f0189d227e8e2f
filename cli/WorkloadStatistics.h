#pragma once

#include "Report.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// One phase of a test of many small operations over its measured runs.
struct PhaseStatistics {
    std::string phase;
    // Rates in operations per second (bytesTotal holds the operations).
    RateStatistics operations;
    // Bytes per second, where data moves.
    std::optional<RateStatistics> bytes;
    // Each percentile is the median of the runs' own; max is the largest
    // time of any run; count is every run's operations together.
    measure::LatencySummary latency;
    // In any of the runs.
    bool clientCacheSuspect = false;
    bool cacheSuspect = false;
    std::string cacheBypass;
};

// The phases in their order; empty when no measured run of the test
// completed (warm-ups are left out).
std::vector<PhaseStatistics> workloadStatistics(const Report& report, Workload test);

// Whether every measured run of the test completed, as Report::succeeded.
bool workloadSucceeded(const Report& report, Workload test);

} // namespace cli
