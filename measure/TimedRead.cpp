#include "TimedRead.h"

#include "Clock.h"
#include "PlatformError.h"

namespace measure {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& reason)
{
    throw platform::Error("Cannot read " + platform::quotedPath(path) + ": " + reason);
}

std::string bytes(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

} // namespace

std::string_view name(CacheBypass bypass)
{
    switch (bypass) {
    case CacheBypass::FadviseDontNeed:
        return "fadvise_dontneed";
    case CacheBypass::ODirect:
        return "o_direct";
    case CacheBypass::DisableLocalBuffering:
        return "disable_local_buffering";
    case CacheBypass::NoBuffering:
        return "no_buffering";
    case CacheBypass::None:
        break;
    }
    return "none";
}

double ReadTiming::seconds() const
{
    return platform::elapsedSeconds(start, end, platform::clock().resolution());
}

ReadTiming timeRead(const platform::ResolvedPath& resolved, std::int64_t expectedBytes, const TestPattern& pattern,
                    std::stop_token stop, const ReadProgress& progress)
{
    const std::string& path = resolved.native();
    if (stop.stop_requested())
        throw platform::Cancelled();
    const platform::Clock& clock = platform::clock();
    // Opening, dropping the cache and choosing how to read: before the clock.
    platform::UncachedRead file(path);
    ReadTiming timing;
    timing.bypass = file.bypass();
    timing.residentBefore = file.residentBefore();

    std::int64_t offset = 0;
    timing.start = clock.now();
    for (;;) {
        if (stop.stop_requested())
            throw platform::Cancelled();
        const std::span<const char> block = file.next();
        if (block.empty())
            break;
        const auto size = static_cast<std::int64_t>(block.size());
        if (size > expectedBytes - offset)
            fail(path, "it is longer than the " + bytes(expectedBytes) + " written");
        const std::size_t differs = pattern.firstDifference(static_cast<std::uint64_t>(offset), block);
        if (differs != block.size())
            fail(path, "byte " + std::to_string(offset + static_cast<std::int64_t>(differs))
                           + " (counted from 0) is not the byte written there");
        offset += size;
        if (progress)
            progress(offset);
    }
    timing.end = clock.now();
    file.close();
    if (offset != expectedBytes)
        fail(path, "it holds " + bytes(offset) + ", not the " + bytes(expectedBytes) + " written");
    // Stopped after the last block: the caller asked not to have a result.
    if (stop.stop_requested())
        throw platform::Cancelled();
    timing.bytes = offset;
    return timing;
}

} // namespace measure
