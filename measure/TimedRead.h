#pragma once

#include "ResolvedPath.h"
#include "TestPattern.h"
#include "UncachedRead.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace measure {

// How a read kept this machine's own cache of the file out of the figure
// (see platform/UncachedRead.h). The server's cache is not controlled: a
// file just written is usually in the server's memory, and a read then
// measures the network and the server, not the server's disk.
using CacheBypass = platform::ReadBypass;

// "fadvise_dontneed", "o_direct", "disable_local_buffering", "no_buffering", "none".
std::string_view name(CacheBypass bypass);

struct ReadTiming {
    std::int64_t bytes = 0;
    // The clock's readings just before the first read and just after the
    // last one (see timeRead).
    std::chrono::nanoseconds start{};
    std::chrono::nanoseconds end{};
    CacheBypass bypass = CacheBypass::None;
    // The share of the file in this machine's page cache just before the
    // read; nothing where that cannot be told (Windows).
    std::optional<double> residentBefore;

    // Never zero, as CopyTiming::seconds().
    double seconds() const;
};

// Told the bytes read and checked so far, after every block (at most
// platform::UncachedRead::kBlockSize, 4 MiB), on the reading thread, inside
// the timed span: it must return at once.
using ReadProgress = std::function<void(std::int64_t bytesRead)>;

// Reads `path` (as CopyTiming::copy names it) back
// into memory, timed by platform::clock(), bypassing this client's cache as
// `bypass` then says. Every byte is checked against `pattern` and the length
// against `expectedBytes`; a difference throws platform::Error saying where.
// A stop request ends the read within one block (platform::Cancelled).
//
// The clock brackets the reads alone: it starts after the file is opened,
// its cache dropped and the way of reading chosen (platform::UncachedRead),
// and stops when the last block is in memory and checked, before the file
// is closed. That is what dd times, and what a person means by reading the
// data: opening asks the server one question, whatever the file's size,
// and closing a file that was only read sends nothing the read depends on.
// The check of each block (cheap: well under 1 % of a network read) is
// inside, as a reader that uses the data would spend that time too.
// A stop requested at any time before this returns ends it with
// platform::Cancelled, as timeCopy does. `progress` is told after every block.
ReadTiming timeRead(const platform::ResolvedPath& path, std::int64_t expectedBytes, const TestPattern& pattern,
                    std::stop_token stop = {}, const ReadProgress& progress = {});

} // namespace measure
