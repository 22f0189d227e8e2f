#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace measure {

// The bytes of a transfer done in one stretch of its time, counted from the
// transfer's start. The last entry of a write is its flush: the time in
// which the data already handed over reached the storage, with no bytes.
struct Interval {
    double startSeconds = 0;
    double seconds = 0;
    std::int64_t bytes = 0;
    bool flush = false;
};

// When each block of one transfer was done, on platform::clock(). Hand
// record() to the copy's or the read's progress observer: it reads the
// clock once and keeps two numbers, in memory reserved beforehand, so the
// timed loop does not wait for it. Once the transfer is over, tell it when
// the transfer started (its timing's start).
class BlockTimes {
public:
    BlockTimes(std::int64_t expectedBytes, std::size_t blockSize);

    void record(std::int64_t bytesSoFar);
    void startedAt(std::chrono::nanoseconds start) { m_start = start; }
    std::chrono::nanoseconds start() const { return m_start; }

    struct Mark {
        std::chrono::nanoseconds at;
        std::int64_t bytes;  // so far
    };
    std::span<const Mark> marks() const { return m_marks; }

private:
    std::vector<Mark> m_marks;
    std::chrono::nanoseconds m_start{};
};

// Cuts transfers timed on one clock (the streams of one run) into intervals
// of `length` from `start`, the first transfer's start, and adds them up.
// A block's bytes moved while its write or read ran, from the end of the
// block before (or the transfer's start) to its own end: they are shared
// among the intervals that span covers, in proportion to the time in each,
// whole bytes, the rest to the last, so that the intervals' bytes add up to
// the transfers' bytes exactly and 1 MiB blocks do not make a steady rate
// look like a saw. With `flush` (a write), the intervals end at the last
// block and one entry for the flush runs from there to `end`; otherwise the
// last interval ends at `end`. Every interval but the last is `length` long.
std::vector<Interval> intervalsOf(std::span<const BlockTimes> transfers, std::chrono::nanoseconds start,
                                  std::chrono::nanoseconds end, std::chrono::nanoseconds length, bool flush);

} // namespace measure
