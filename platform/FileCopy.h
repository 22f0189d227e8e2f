#pragma once

#include "NativeFile.h"

namespace platform {

// The size of each read and write. Network file systems turn every write into
// a round trip, so small blocks would measure latency instead of throughput.
constexpr std::size_t kCopyBlockSize = 1024 * 1024;

// Copies everything from `in` (at its start) to `out`.
void copyContents(NativeFile& in, NativeFile& out);

} // namespace platform
