#pragma once

#include "NativeFile.h"

#include <cstdint>
#include <stop_token>

namespace platform {

// The size of each read and write. Network file systems turn every write into
// a round trip, so small blocks would measure latency instead of throughput.
constexpr std::size_t kCopyBlockSize = 1024 * 1024;

// Copies everything from `in` (at its start) to `out` and returns how many
// bytes that was. Throws Cancelled at the next block once a stop is requested.
std::int64_t copyContents(NativeFile& in, NativeFile& out, std::stop_token stop = {});

} // namespace platform
