// The timed read on any system: every byte and the length are checked, a stop
// ends it within one block, and the clock brackets the reads alone. How the
// cache is kept out is tested per system (ReadHonestyTest.cpp on Linux,
// TimedReadWindowsTest.cpp under Wine, tests/platform/UncachedReadTest.cpp).

#include "TimedRead.h"

#include "Clock.h"
#include "PatternFile.h"
#include "PlatformError.h"
#include "TempFolder.h"
#include "UncachedRead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stop_token>
#include <vector>

using measure::CacheBypass;
using measure::TestPattern;
using measure::timeRead;
using testsupport::errorOf;

namespace {

constexpr std::int64_t kBlock = platform::UncachedRead::kBlockSize;

std::string quoted(const std::string& path)
{
    return platform::quotedPath(path);
}

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
};

// Whether this process has `path` open (Linux; elsewhere nothing can be told).
std::optional<bool> isOpenHere(const std::string& path)
{
#ifdef __linux__
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path(), ignored) == wanted)
            return true;
    }
    return false;
#else
    (void)path;
    return std::nullopt;
#endif
}

// Counts its readings, and notes at each whether the file is open; a test
// sees where in the read each one falls.
class CountingClock : public platform::Clock {
public:
    explicit CountingClock(std::string watched)
        : m_watched(std::move(watched))
    {
    }
    std::chrono::nanoseconds now() const override
    {
        openAtReadings.push_back(isOpenHere(m_watched));
        return std::chrono::seconds(++readings);
    }
    std::chrono::nanoseconds resolution() const override { return std::chrono::nanoseconds(1); }
    mutable int readings = 0;
    mutable std::vector<std::optional<bool>> openAtReadings;

private:
    std::string m_watched;
};

} // namespace

TEST(CacheBypassName, IsTheWordTheOutputUses)
{
    EXPECT_EQ(measure::name(CacheBypass::FadviseDontNeed), "fadvise_dontneed");
    EXPECT_EQ(measure::name(CacheBypass::ODirect), "o_direct");
    EXPECT_EQ(measure::name(CacheBypass::DisableLocalBuffering), "disable_local_buffering");
    EXPECT_EQ(measure::name(CacheBypass::NoBuffering), "no_buffering");
    EXPECT_EQ(measure::name(CacheBypass::None), "none");
}

TEST_F(TimedRead, ReadsWholeFilesOfAnySizeAndChecksThem)
{
    // Empty, less than a sector, one sector and a byte, whole blocks, and
    // blocks with an odd tail (the end of an aligned read).
    for (const std::int64_t size : {std::int64_t{0}, std::int64_t{1}, std::int64_t{4097}, 2 * kBlock,
                                    3 * kBlock + 1234}) {
        const std::string path = written("size-" + std::to_string(size), size);
        std::vector<std::int64_t> progress;
        const measure::ReadTiming timing
            = timeRead(path, size, pattern, {}, [&](std::int64_t bytes) { progress.push_back(bytes); });
        EXPECT_EQ(timing.bytes, size);
        EXPECT_GT(timing.seconds(), 0.0);
        EXPECT_LE(timing.start, timing.end);
        // One call per block read, counting up to the whole file.
        ASSERT_EQ(progress.size(), static_cast<std::size_t>((size + kBlock - 1) / kBlock)) << size;
        if (size > 0) {
            EXPECT_EQ(progress.back(), size);
        }
        std::printf("%lld bytes: %s\n", static_cast<long long>(size), std::string(measure::name(timing.bypass)).c_str());
    }
}

TEST_F(TimedRead, AWrongByteIsReportedWithItsOffset)
{
    const std::int64_t size = 2 * kBlock + 100;
    for (const std::int64_t offset : {std::int64_t{0}, kBlock + 17, size - 1}) {
        const std::string path = written("wrong-byte", size);
        testsupport::flipByte(path, offset);
        EXPECT_EQ(errorOf([&] { timeRead(path, size, pattern); }),
                  "Cannot read " + quoted(path) + ": byte " + std::to_string(offset)
                      + " (counted from 0) is not the byte written there");
    }
    // A file of another pattern differs at once.
    const std::string xs = folder.file("xs");
    testsupport::writePatternFile(xs, TestPattern::x(), 1000);
    EXPECT_EQ(errorOf([&] { timeRead(xs, 1000, pattern); }),
              "Cannot read " + quoted(xs) + ": byte 0 (counted from 0) is not the byte written there");
    EXPECT_EQ(timeRead(xs, 1000, TestPattern::x()).bytes, 1000);
}

TEST_F(TimedRead, AShortFileIsReported)
{
    const std::string path = written("short", kBlock + 5);
    EXPECT_EQ(errorOf([&] { timeRead(path, kBlock + 6, pattern); }),
              "Cannot read " + quoted(path) + ": it holds 4194309 bytes, not the 4194310 bytes written");
    const std::string empty = written("empty", 0);
    EXPECT_EQ(errorOf([&] { timeRead(empty, 1, pattern); }),
              "Cannot read " + quoted(empty) + ": it holds 0 bytes, not the 1 byte written");
}

TEST_F(TimedRead, ALongFileIsReportedWithoutReadingItAll)
{
    const std::string path = written("long", 3 * kBlock);
    EXPECT_EQ(errorOf([&] { timeRead(path, kBlock + 1, pattern); }),
              "Cannot read " + quoted(path) + ": it is longer than the 4194305 bytes written");
    int blocks = 0;
    EXPECT_EQ(errorOf([&] { timeRead(path, kBlock, pattern, {}, [&](std::int64_t) { ++blocks; }); }),
              "Cannot read " + quoted(path) + ": it is longer than the 4194304 bytes written");
    EXPECT_EQ(blocks, 1);
    const std::string small = written("one-more", 11);
    EXPECT_EQ(errorOf([&] { timeRead(small, 10, pattern); }),
              "Cannot read " + quoted(small) + ": it is longer than the 10 bytes written");
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
    // The block being read when the stop came is the last one.
    EXPECT_EQ(progress, std::vector<std::int64_t>{kBlock});

    // Asked before it starts, it opens nothing.
    EXPECT_THROW(timeRead(folder.file("not there"), 1, pattern, stop.get_token()), platform::Cancelled);
    // Asked during the last block, there is no result either.
    std::stop_source late;
    EXPECT_THROW(timeRead(path, 3 * kBlock, pattern, late.get_token(),
                          [&](std::int64_t bytes) {
                              if (bytes == 3 * kBlock)
                                  late.request_stop();
                          }),
                 platform::Cancelled);
}

TEST_F(TimedRead, TheClockBracketsTheReadsAlone)
{
    const std::string path = written("timed", 2 * kBlock + 1);
    CountingClock clock(path);
    const platform::ScopedClock useClock(clock);
    std::vector<int> readingsAtBlocks;
    const measure::ReadTiming timing = timeRead(path, 2 * kBlock + 1, pattern, {},
                                                [&](std::int64_t) { readingsAtBlocks.push_back(clock.readings); });
    // Every block was read and checked after the first reading and before the second.
    EXPECT_EQ(readingsAtBlocks, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(clock.readings, 2);
    EXPECT_EQ(timing.start, std::chrono::seconds(1));
    EXPECT_EQ(timing.end, std::chrono::seconds(2));
    EXPECT_EQ(timing.seconds(), 1.0);
    // Opened before the clock starts, closed after it stops (where that can be seen).
    ASSERT_EQ(clock.openAtReadings.size(), 2u);
    if (clock.openAtReadings[0]) {
        EXPECT_EQ(clock.openAtReadings, (std::vector<std::optional<bool>>{true, true}));
        EXPECT_EQ(isOpenHere(path), false);
    }
}

TEST_F(TimedRead, AFileThatCannotBeReadIsNamed)
{
    const std::string missing = folder.file("missing.dum");
    const std::string error = errorOf([&] { timeRead(missing, 1, pattern); });
    EXPECT_TRUE(error.starts_with("Cannot open for reading " + quoted(missing) + ": ")) << error;
    // A folder is no file to read.
    const std::string folderError = errorOf([&] { timeRead(folder.path(), 1, pattern); });
    EXPECT_TRUE(folderError.starts_with("Cannot ") && folderError.find(quoted(folder.path())) != std::string::npos)
        << folderError;
}
