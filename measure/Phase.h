#pragma once

#include "Latencies.h"
#include "TimedRead.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string_view>

namespace measure {

// One phase of a test of many small operations (creating files, listing a
// folder ...): how many there were, the span from the first one's start to
// the last one's end, and the time of each.
struct PhaseTiming {
    // "create", "enumerate", "stat", "read" or "delete".
    std::string_view phase;
    std::int64_t operations = 0;
    // The bytes written or read; nothing where no data moves.
    std::optional<std::int64_t> bytes;
    std::chrono::nanoseconds start{};
    std::chrono::nanoseconds end{};
    LatencySummary latency;
    // Reading: how this machine's cache was kept out (None when it could not
    // be, for any one file).
    std::optional<CacheBypass> bypass;
    // Whether the operations were too quick to have asked the server: this
    // machine answered them from what it remembered (see SmallFiles.h).
    bool clientCacheSuspect = false;

    // Never zero, as CopyTiming::seconds().
    double seconds() const;
};

// Told when a phase begins, on the measuring thread: a progress line, or a
// test that acts at a given point.
using PhaseObserver = std::function<void(std::string_view phase)>;

// Does `operation` for every number from 1 to `count` in turn, timed on
// platform::clock(): each operation from the end of the one before, so the
// times add up to the phase's span. A stop request ends it before the next
// operation (platform::Cancelled).
PhaseTiming timePhase(std::string_view phase, std::int64_t count, const std::stop_token& stop,
                      const std::function<void(std::int64_t)>& operation);

} // namespace measure
