// Windows: how the read keeps the SMB redirector's cache out of a copy on a
// share. Under Wine (where scripts/windows-tests.sh runs these) the
// redirector's control code fails, so the read falls back to
// FILE_FLAG_NO_BUFFERING in whole sectors; that the cache is really bypassed
// cannot be seen there (Wine reads through the Linux page cache whatever the
// flag), only that the way is chosen and the aligned reads give the whole
// file, checked.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h turns this into DeleteFileW, which is not ours.
#undef DeleteFile

#include "TimedCopy.h"
#include "TimedRead.h"

#include "PatternFile.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

using measure::CacheBypass;
using measure::TestPattern;

TEST(TimedReadOnWindows, ACopyOnTheShareIsReadBackWholeAndChecked)
{
    const char* share = std::getenv("DOZOZEDA_TEST_UNC_SHARE");
    if (!share)
        GTEST_SKIP() << "DOZOZEDA_TEST_UNC_SHARE names no UNC folder";
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const bool underWine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    const testsupport::TempFolder folder;
    const TestPattern pattern = TestPattern::random(4);
    // Whole sectors and blocks, a size that ends inside a sector, and a file
    // smaller than one sector.
    for (const std::int64_t size : {std::int64_t{10} << 20, (std::int64_t{10} << 20) + 1234, std::int64_t{100}}) {
        const std::string source = folder.file("source-" + std::to_string(size));
        testsupport::writePatternFile(source, pattern, size);
        const platform::ResolvedPath copy =
            measure::timeCopy(platform::ResolvedPath::fromSystem(source),
                              platform::resolvePath(share).child("dozozeda-read-" + std::to_string(::GetCurrentProcessId())))
                .copy;

        const measure::ReadTiming timing = measure::timeRead(copy, size, pattern);
        // Real Windows with a Windows 8 or later server turns the
        // redirector's cache off; Wine's redirector does not know the code.
        EXPECT_EQ(measure::name(timing.bypass),
                  measure::name(underWine ? CacheBypass::NoBuffering : CacheBypass::DisableLocalBuffering));
        EXPECT_EQ(timing.residentBefore, std::nullopt);
        EXPECT_EQ(timing.bytes, size);
        platform::DeleteFile(copy);
    }
}
