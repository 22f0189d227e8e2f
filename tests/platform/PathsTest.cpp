#include "Paths.h"

#include <gtest/gtest.h>

using platform::baseName;
using platform::normalizePosixPath;
using platform::normalizeWindowsPath;

TEST(Paths, PosixTakesBothSeparatorsAndCollapsesRuns)
{
    EXPECT_EQ(normalizePosixPath("/mnt/share\\/dummyfile.dum"), "/mnt/share/dummyfile.dum");
    EXPECT_EQ(normalizePosixPath("/mnt//share\\\\dir/"), "/mnt/share/dir/");
    EXPECT_EQ(normalizePosixPath("//mnt/x"), "/mnt/x");
    EXPECT_EQ(normalizePosixPath("relative\\dir"), "relative/dir");
    // Spaces belong to the name: a path typed with spaces keeps them.
    EXPECT_EQ(normalizePosixPath("  /tmp/x \\"), "  /tmp/x /");
}

TEST(Paths, WindowsKeepsTheUncPrefix)
{
    EXPECT_EQ(normalizeWindowsPath("\\\\server\\share\\dir\\/dummyfile.dum"), "\\\\server\\share\\dir\\dummyfile.dum");
    EXPECT_EQ(normalizeWindowsPath("//server/share/dir/"), "\\\\server\\share\\dir\\");
    EXPECT_EQ(normalizeWindowsPath("C:\\dir//sub\\/dummyfile.dum"), "C:\\dir\\sub\\dummyfile.dum");
    EXPECT_EQ(normalizeWindowsPath("\\\\?\\C:\\dir\\file"), "\\\\?\\C:\\dir\\file");
    EXPECT_EQ(normalizeWindowsPath("\\\\\\server\\share"), "\\\\server\\share");
}

TEST(Paths, BaseNameAfterEitherSeparator)
{
    EXPECT_EQ(baseName("/a/b/dummyfile.dum"), "dummyfile.dum");
    EXPECT_EQ(baseName("C:\\a\\dummyfile.dum"), "dummyfile.dum");
    EXPECT_EQ(baseName("dummyfile.dum"), "dummyfile.dum");
}
