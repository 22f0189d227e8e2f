#pragma once

#include "ResolvedPath.h"
#include "TestPattern.h"
#include "TimedCopy.h"
#include "TimedRead.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <stop_token>
#include <vector>

namespace measure {

// A link that one stream cannot fill (a long round trip, a server that
// serves each connection or file from one core) shows with several. Each
// stream holds a thread and a 1 MiB buffer (4 MiB reading).
constexpr int kMaxStreams = 64;

// The copies of one run, made at once, one per destination.
struct StreamCopies {
    std::vector<CopyTiming> streams;

    std::int64_t bytes() const;
    // From the first stream's start to the last one's flush.
    std::chrono::nanoseconds start() const;
    std::chrono::nanoseconds end() const;
    // All bytes over that span: what the streams together got across.
    double seconds() const;
};

// The same for reading the copies back.
struct StreamReads {
    std::vector<ReadTiming> streams;

    std::int64_t bytes() const;
    std::chrono::nanoseconds start() const;
    std::chrono::nanoseconds end() const;
    double seconds() const;
};

// Copies `source` to every destination with timeCopy, each on a thread of
// its own, all released at the same moment. One destination is copied on
// the calling thread, as timeCopy alone would. `progress`, when not empty,
// holds one observer per destination. When one stream fails or a stop is
// asked for, the others are stopped within a block, and every copy of the
// run is removed again; the error (the first real failure rather than the
// stops it caused) says what could not be removed, as timeCopy's do.
StreamCopies timeCopies(const platform::ResolvedPath& source, std::span<const platform::ResolvedPath> destinations,
                        std::stop_token stop = {}, std::span<const CopyProgress> progress = {});

// Reads each copy back with timeRead, at once, as timeCopies writes them.
// Removes nothing: the copies are the caller's.
StreamReads timeReads(std::span<const platform::ResolvedPath> copies, std::int64_t expectedBytes,
                      const TestPattern& pattern, std::stop_token stop = {},
                      std::span<const ReadProgress> progress = {});

} // namespace measure
