#pragma once

#include "FileCopy.h"
#include "ResolvedPath.h"

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

namespace measure {

// Told the bytes copied so far after every block, on the copying thread,
// inside the timed span: it must return at once.
using CopyProgress = platform::CopyProgress;

// One timed copy of a local file to where a person pointed.
struct CopyTiming {
    // Where the copy went. Whatever cleans up afterwards deletes this.
    platform::ResolvedPath copy;
    std::int64_t bytes = 0;
    // The clock's readings just before the first byte and just after the
    // copy reached the target's storage.
    std::chrono::nanoseconds start{};
    std::chrono::nanoseconds end{};

    // Never zero: a copy within one tick of the clock counts as one tick.
    double seconds() const;
};

// Copies `source` to `destination` through this process in whole blocks,
// timed by platform::clock(). Both were resolved before (finding a share's
// mount is no part of the transfer); the clock starts at the copy's first
// step and stops after the copy is flushed to the target's storage.
// A stop request ends the copy within one block, also once it is whole, and
// removes what was written; so does a failure. platform::Cancelled (with its
// leftOver()) or the failure's error says when that removal failed too.
// `progress` is told the bytes copied after every block.
CopyTiming timeCopy(const platform::ResolvedPath& source, const platform::ResolvedPath& destination,
                    std::stop_token stop = {}, const CopyProgress& progress = {});

} // namespace measure
