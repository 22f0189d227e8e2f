// Windows: how the read keeps the SMB redirector's cache out. Under Wine
// (where scripts/windows-tests.sh runs these) the redirector's control code
// fails, so the read falls back to FILE_FLAG_NO_BUFFERING in whole sectors;
// that the cache is really bypassed cannot be seen there (Wine reads through
// the Linux page cache whatever the flag), only that the way is chosen and
// the aligned reads give the whole file, checked.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h turns this into DeleteFileW, which is not ours.
#undef DeleteFile

#include "TimedCopy.h"
#include "TimedRead.h"

#include "PatternFile.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "TempFolder.h"
#include "UncachedRead.h"

#include <gtest/gtest.h>

#include <cstdlib>

using measure::CacheBypass;
using measure::TestPattern;

namespace {

constexpr std::int64_t kMiB = std::int64_t{1} << 20;

bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

std::string uncShare()
{
    const char* share = std::getenv("DOZOZEDA_TEST_UNC_SHARE");
    return share ? share : "";
}

} // namespace

// A local disk refuses the redirector's control code on Windows too: both
// land on whole sectors, read unbuffered into a sector-aligned buffer.
TEST(UncachedReadOnWindows, FallsBackToWholeUnbufferedSectors)
{
    const testsupport::TempFolder folder;
    const std::string path = folder.file("local.dum");
    const TestPattern pattern = TestPattern::random(3);
    testsupport::writePatternFile(path, pattern, 3 * kMiB + 777);

    platform::UncachedRead file(path);
    EXPECT_EQ(file.bypass(), platform::ReadBypass::NoBuffering) << "got way " << static_cast<int>(file.bypass());
    EXPECT_EQ(file.residentBefore(), std::nullopt);
    const std::size_t sector = file.alignment();
    EXPECT_GE(sector, 512u);
    EXPECT_EQ(sector & (sector - 1), 0u);
    EXPECT_EQ(platform::UncachedRead::kBlockSize % sector, 0u);
    std::int64_t offset = 0;
    for (std::span<const char> block = file.next(); !block.empty(); block = file.next()) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % sector, 0u);
        EXPECT_EQ(pattern.firstDifference(static_cast<std::uint64_t>(offset), block), block.size());
        offset += static_cast<std::int64_t>(block.size());
    }
    file.close();
    EXPECT_EQ(offset, 3 * kMiB + 777);
    std::printf("local file: sector %zu bytes\n", sector);
}

TEST(TimedReadOnWindows, ACopyOnTheShareIsReadBackWholeAndChecked)
{
    const std::string share = uncShare();
    if (share.empty())
        GTEST_SKIP() << "DOZOZEDA_TEST_UNC_SHARE names no UNC folder";
    const testsupport::TempFolder folder;
    const TestPattern pattern = TestPattern::random(4);
    // Whole sectors and blocks, a size that ends inside a sector, and a file
    // smaller than one sector.
    for (const std::int64_t size : {10 * kMiB, 10 * kMiB + 1234, std::int64_t{100}}) {
        const std::string source = folder.file("source-" + std::to_string(size));
        testsupport::writePatternFile(source, pattern, size);
        const std::string copy
            = measure::timeCopy(source, share + "\\dozozeda-read-" + std::to_string(::GetCurrentProcessId())).copy;

        const measure::ReadTiming timing = measure::timeRead(copy, size, pattern);
        // Real Windows with a Windows 8 or later server turns the
        // redirector's cache off; Wine's redirector does not know the code.
        EXPECT_EQ(measure::name(timing.bypass),
                  measure::name(underWine() ? CacheBypass::NoBuffering : CacheBypass::DisableLocalBuffering));
        EXPECT_EQ(timing.residentBefore, std::nullopt);
        EXPECT_EQ(timing.bytes, size);
        std::printf("%lld bytes from %s: %s, %.1f MiB/s\n", static_cast<long long>(size), copy.c_str(),
                    std::string(measure::name(timing.bypass)).c_str(),
                    static_cast<double>(size) / timing.seconds() / kMiB);

        // The checks are real on this path too: the length, then every byte.
        EXPECT_EQ(testsupport::errorOf([&] { measure::timeRead(copy, size + 1, pattern); }),
                  "Cannot read " + platform::quotedPath(copy) + ": it holds " + std::to_string(size)
                      + " bytes, not the " + std::to_string(size + 1) + " bytes written");
        testsupport::flipByte(copy, size - 1);
        EXPECT_EQ(testsupport::errorOf([&] { measure::timeRead(copy, size, pattern); }),
                  "Cannot read " + platform::quotedPath(copy) + ": byte " + std::to_string(size - 1)
                      + " (counted from 0) is not the byte written there");
        platform::DeleteFile(copy);
    }
}
