// Linux: the timed read of a file this process has just written reaches the
// disk, not the page cache the write left behind. The kernel counts, per
// process, the bytes it asked a block device for (read_bytes in
// /proc/self/io, counted when the request is submitted, O_DIRECT included);
// a read served from memory adds nothing there. A local disk models the cifs
// case where the cache outlives close and reopen (a lease, a deferred close).

#include "TimedCopy.h"
#include "TimedRead.h"

#include "LinuxTestFiles.h"
#include "PageCache.h"
#include "PatternFile.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

using measure::CacheBypass;
using measure::TestPattern;

namespace {

constexpr std::int64_t kSize = std::int64_t{32} << 20;

// A folder whose file system lives on a block device (not tmpfs, ramfs or an
// overlay), so that reads from it show up as read_bytes; empty if none.
std::string blockBackedFolder()
{
    for (const std::string& candidate :
         {std::string(DOZOZEDA_BLOCK_BACKED_CANDIDATE), std::filesystem::temp_directory_path().string()}) {
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0
            && std::filesystem::exists("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":"
                                       + std::to_string(minor(st.st_dev))))
            return candidate;
    }
    return "";
}

std::int64_t readBytesSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value) {
        if (key == "read_bytes:")
            return value;
    }
    throw std::runtime_error("/proc/self/io has no read_bytes (no task I/O accounting in this kernel)");
}

} // namespace

TEST(ReadHonesty, AFileJustWrittenIsReadFromTheDiskNotFromMemory)
{
    const std::string where = blockBackedFolder();
    if (where.empty())
        GTEST_SKIP() << "neither " << DOZOZEDA_BLOCK_BACKED_CANDIDATE << " nor the temporary folder is on a block device";
    const testsupport::TempFolder folder(where);
    const TestPattern pattern = TestPattern::random(1);
    testsupport::writePatternFile(folder.file("source.dum"), pattern, kSize);
    // The real write path: a copy, fsynced, closed.
    const platform::ResolvedPath copy = measure::timeCopy(folder.at("source.dum"), folder.at("copy.dum")).copy;

    // The write left the file in memory: what a read must not be fooled by.
    EXPECT_GE(platform::residentFraction(testsupport::Descriptor(copy.native()).fd).value_or(-1), 0.99);

    // The probe can tell: reading it the plain way asks the disk for (next
    // to) nothing.
    const std::int64_t beforePlain = readBytesSoFar();
    EXPECT_EQ(testsupport::readFile(copy.native()).size(), static_cast<std::size_t>(kSize));
    EXPECT_LT(readBytesSoFar() - beforePlain, kSize / 20);

    // The timed read of the same file in the same state reaches the disk, and
    // again at once: its own plain reads left the pages in memory.
    for (int run = 0; run < 2; ++run) {
        const std::int64_t before = readBytesSoFar();
        const measure::ReadTiming timing = measure::timeRead(copy, kSize, pattern);
        const std::int64_t growth = readBytesSoFar() - before;
        EXPECT_TRUE(timing.bypass == CacheBypass::FadviseDontNeed || timing.bypass == CacheBypass::ODirect)
            << measure::name(timing.bypass);
        EXPECT_EQ(timing.residentBefore, 0.0);
        EXPECT_GE(growth, kSize * 95 / 100) << "run " << run;
    }
}
