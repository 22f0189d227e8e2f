#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

namespace measure {

// One timed copy of a local file to where a person pointed.
struct CopyTiming {
    // Where the copy went: on Linux a share address is the folder it is
    // mounted on. Whatever cleans up afterwards deletes this, not what was
    // typed, which could be looked up to another place by then.
    std::string copy;
    std::int64_t bytes = 0;
    // The clock's readings just before the first byte and just after the
    // copy reached the target's storage.
    std::chrono::nanoseconds start{};
    std::chrono::nanoseconds end{};

    // Never zero: a copy within one tick of the clock counts as one tick.
    double seconds() const;
};

// Copies `source` to `destination`, a file path as a person typed it (see
// platform/ShareAddress.h), through this process in whole blocks, timed by
// platform::clock(). Finding the share's mount is done before the clock
// starts; the clock stops after the copy is flushed to the target's storage.
// A stop request ends the copy within one block, also once it is whole, and
// removes what was written; so does a failure. platform::Cancelled (with its
// leftOver()) or the failure's error says when that removal failed too.
CopyTiming timeCopy(const std::string& source, const std::string& destination, std::stop_token stop = {});

} // namespace measure
