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
// timed loop does not wait for it.
class BlockTimes {
public:
    BlockTimes(std::int64_t expectedBytes, std::size_t blockSize);

    void record(std::int64_t bytesSoFar);

    struct Mark {
        std::chrono::nanoseconds at;
        std::int64_t bytes;  // so far
    };
    std::span<const Mark> marks() const { return m_marks; }

private:
    std::vector<Mark> m_marks;
};

// Cuts transfers timed on one clock (the streams of one run) into intervals
// of `length` from `start`, the first transfer's start, and adds them up.
// A block counts in the interval in which its write or read returned, so
// the intervals' bytes add up to the transfers' bytes exactly. With
// `flush` (a write), the intervals end at the last block and one entry for
// the flush runs from there to `end`; otherwise the last interval ends at
// `end`. Every interval but the last is `length` long; one in which no
// block was done has no bytes.
std::vector<Interval> intervalsOf(std::span<const BlockTimes> transfers, std::chrono::nanoseconds start,
                                  std::chrono::nanoseconds end, std::chrono::nanoseconds length, bool flush);

} // namespace measure
