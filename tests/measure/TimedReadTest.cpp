// The timed read on any system: every byte and the length are checked, a stop
// ends it within one block, and the clock brackets the reads alone. How the
// cache is kept out is tested per system (ReadHonestyTest.cpp on Linux,
// TimedReadWindowsTest.cpp under Wine, tests/platform/UncachedRead*Test.cpp).

#include "TimedRead.h"

#include "Clock.h"
#include "PatternFile.h"
#include "PlatformError.h"
#include "TempFolder.h"
#include "UncachedRead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

using measure::CacheBypass;
using measure::TestPattern;
using testsupport::errorOf;

namespace {

// The files here are the test's own, named as the system names them.
measure::ReadTiming timeRead(const std::string& path, std::int64_t expectedBytes, const TestPattern& pattern,
                             std::stop_token stop = {}, const measure::ReadProgress& progress = {})
{
    return measure::timeRead(platform::ResolvedPath::fromSystem(path), expectedBytes, pattern, std::move(stop), progress);
}

constexpr std::int64_t kBlock = platform::UncachedRead::kBlockSize;

class TimedRead : public testing::Test {
protected:
    testsupport::TempFolder folder;
    const TestPattern pattern = TestPattern::random(20261207);

    std::string written(const std::string& name, std::int64_t size)
    {
        const std::string path = folder.file(name);
        testsupport::writePatternFile(path, pattern, size);
        return path;
    }

    std::string cannotRead(const std::string& path, const std::string& reason)
    {
        return "Cannot read " + platform::quotedPath(path) + ": " + reason;
    }
};

// How many files this process has open (Linux; elsewhere nothing can be told).
std::optional<std::ptrdiff_t> openFiles()
{
#ifdef __linux__
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
#else
    return std::nullopt;
#endif
}

// Counts its readings, notes at each how many files are open, and calls
// `atEnd` at the second, once the last block is in.
class CountingClock : public platform::Clock {
public:
    std::chrono::nanoseconds now() const override
    {
        openAtReadings.push_back(openFiles());
        if (++readings == 2 && atEnd)
            atEnd();
        return std::chrono::seconds(readings);
    }
    std::chrono::nanoseconds resolution() const override { return std::chrono::nanoseconds(1); }
    mutable int readings = 0;
    mutable std::vector<std::optional<std::ptrdiff_t>> openAtReadings;
    std::function<void()> atEnd;
};

} // namespace

TEST(CacheBypassName, IsTheWordTheOutputUses)
{
    std::string words;
    for (const CacheBypass bypass : {CacheBypass::FadviseDontNeed, CacheBypass::ODirect,
                                     CacheBypass::DisableLocalBuffering, CacheBypass::NoBuffering, CacheBypass::None})
        words += std::string(measure::name(bypass)) + " ";
    EXPECT_EQ(words, "fadvise_dontneed o_direct disable_local_buffering no_buffering none ");
}

TEST_F(TimedRead, AWrongByteOrLengthIsReportedWithWhereItIs)
{
    const std::int64_t size = 2 * kBlock + 100;
    for (const std::int64_t offset : {kBlock + 17, size - 1}) {
        const std::string path = written("wrong-byte", size);
        testsupport::flipByte(path, offset);
        EXPECT_EQ(errorOf([&] { timeRead(path, size, pattern); }),
                  cannotRead(path, "byte " + std::to_string(offset) + " (counted from 0) is not the byte written there"));
    }

    const std::string shorter = written("short", 1);
    EXPECT_EQ(errorOf([&] { timeRead(shorter, 2, pattern); }),
              cannotRead(shorter, "it holds 1 byte, not the 2 bytes written"));

    // A longer file is given up at the first block past the length.
    const std::string longer = written("long", 3 * kBlock);
    int blocks = 0;
    EXPECT_EQ(errorOf([&] { timeRead(longer, kBlock, pattern, {}, [&](std::int64_t) { ++blocks; }); }),
              cannotRead(longer, "it is longer than the 4194304 bytes written"));
    EXPECT_EQ(blocks, 1);
}

TEST_F(TimedRead, AStopEndsTheReadWithinOneBlock)
{
    const std::string path = written("stopped", 3 * kBlock);
    std::stop_source stop;
    std::vector<std::int64_t> progress;
    EXPECT_THROW(timeRead(path, 3 * kBlock, pattern, stop.get_token(),
                          [&](std::int64_t bytes) {
                              progress.push_back(bytes);
                              stop.request_stop();
                          }),
                 platform::Cancelled);
    EXPECT_EQ(progress, std::vector<std::int64_t>{kBlock});

    // Asked before it starts, it opens nothing.
    EXPECT_THROW(timeRead(folder.file("not there"), 1, pattern, stop.get_token()), platform::Cancelled);
    // Asked once the last block is in, there is no result either.
    std::stop_source late;
    CountingClock clock;
    clock.atEnd = [&] { late.request_stop(); };
    const platform::ScopedClock useClock(clock);
    EXPECT_THROW(timeRead(path, 3 * kBlock, pattern, late.get_token()), platform::Cancelled);
}

// Every block, an odd tail included, is read, checked at its own offset and
// counted between the clock's two readings; the file is opened before the
// first and closed after the second (where that can be seen). An empty file
// is read as empty.
TEST_F(TimedRead, ReadsTheWholeFileBetweenTheClocksTwoReadings)
{
    const std::int64_t size = 2 * kBlock + 1;
    CountingClock clock;
    const platform::ScopedClock useClock(clock);
    // A block counted outside the clock's span shows as negative.
    std::vector<std::int64_t> progress;
    const measure::ReadTiming timing = timeRead(written("whole", size), size, pattern, {}, [&](std::int64_t bytes) {
        progress.push_back(clock.readings == 1 ? bytes : -bytes);
    });
    EXPECT_EQ(progress, (std::vector<std::int64_t>{kBlock, 2 * kBlock, size}));
    EXPECT_EQ(timing.bytes, size);
    EXPECT_EQ(timing.start, std::chrono::seconds(1));
    EXPECT_EQ(timing.end, std::chrono::seconds(2));
    EXPECT_EQ(timing.seconds(), 1.0);
    if (const auto after = openFiles()) {
        EXPECT_EQ(clock.openAtReadings, (std::vector<std::optional<std::ptrdiff_t>>{*after + 1, *after + 1}));
    }
    EXPECT_EQ(timeRead(written("empty", 0), 0, pattern).bytes, 0);
}

TEST_F(TimedRead, WhatIsNoFileToReadIsNamed)
{
    const std::string missing = folder.file("missing.dum");
    const std::string error = errorOf([&] { timeRead(missing, 1, pattern); });
    EXPECT_TRUE(error.starts_with("Cannot open for reading " + platform::quotedPath(missing) + ": ")) << error;
    // Windows refuses to open a folder as a file; Linux opens it and must not read on.
    const std::string folderError = errorOf([&] { timeRead(folder.path(), 1, pattern); });
    EXPECT_TRUE(folderError == cannotRead(folder.path(), "it is not a file")
                || folderError.starts_with("Cannot open for reading " + platform::quotedPath(folder.path())))
        << folderError;
}
