#pragma once

#include "NativeFile.h"

#include <cstdint>
#include <functional>
#include <stop_token>

namespace platform {

// The size of each read and write. Network file systems turn every write into
// a round trip, so small blocks would measure latency instead of throughput.
constexpr std::size_t kCopyBlockSize = 1024 * 1024;

// Told the bytes copied so far after every block (every write of up to
// kCopyBlockSize), on the copying thread, inside the timed span: it must
// return at once (no I/O, no locks held for long).
using CopyProgress = std::function<void(std::int64_t bytesCopied)>;

// Copies everything from `in` (at its start) to `out` and returns how many
// bytes that was. Throws Cancelled at the next block once a stop is requested.
std::int64_t copyContents(NativeFile& in, NativeFile& out, std::stop_token stop = {}, const CopyProgress& progress = {});

} // namespace platform
