#include "Clock.h"
#include "NativeFile.h"
#include "Paths.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::chrono_literals;
using platform::normalizeWindowsPath;

namespace fs = std::filesystem;

// A local path is taken as the system reads it: on Linux a backslash is
// part of a name, so "back\slash" is one folder, never "back/slash".
TEST(Paths, ALocalPathIsTakenAsTheSystemReadsIt)
{
#ifdef _WIN32
    // The long-path namespace typed into the box is a local path, and stays one.
    EXPECT_EQ(platform::resolvePath("\\\\?\\C:\\dir").native(), "\\\\?\\C:\\dir");
    EXPECT_EQ(platform::boxFolder("C:\\"), "C:\\");
#else
    for (const char* typed : {"/mnt/back\\slash", "relative\\dir", "  /tmp/x ", "\\mnt\\x", "///three/x"})
        EXPECT_EQ(platform::resolvePath(typed).native(), typed);
    // The box's closing backslash marks a folder and is no part of its name.
    EXPECT_EQ(platform::resolvePath(platform::boxFolder("/mnt/back\\slash\\")).native(), "/mnt/back\\slash");
#endif
    const auto folder = platform::ResolvedPath::fromSystem(testsupport::TempFolder().path());
    for (const char* name : {"", ".", "..", "a/b", "../x"})
        EXPECT_THROW(folder.child(name), platform::Error) << name;
}

TEST(Paths, WindowsKeepsTheUncPrefix)
{
    EXPECT_EQ(normalizeWindowsPath("\\\\server\\share\\dir\\/dummyfile.dum"), "\\\\server\\share\\dir\\dummyfile.dum");
    EXPECT_EQ(normalizeWindowsPath("//server/share/dir/"), "\\\\server\\share\\dir\\");
    EXPECT_EQ(normalizeWindowsPath("C:\\dir//sub\\/dummyfile.dum"), "C:\\dir\\sub\\dummyfile.dum");
    EXPECT_EQ(normalizeWindowsPath("\\\\?\\C:\\dir\\file"), "\\\\?\\C:\\dir\\file");
    EXPECT_EQ(normalizeWindowsPath("\\\\\\server\\share"), "\\\\server\\share");
}

// The run counter's text ("Transfer:1", no leading space) is checked in
// every report the window tests read.
TEST(Runtime, TrimRemovesSpacesOnly)
{
    EXPECT_EQ(platform::Trim("  \\\\nas\\share  "), "\\\\nas\\share");
    EXPECT_EQ(platform::Trim("   "), "");
    EXPECT_EQ(platform::Trim("\t/x\n"), "\t/x\n");
}

TEST(Runtime, ProgramFolderIsTheExecutablesFolderUnlessItIsReadOnly)
{
    EXPECT_TRUE(fs::equivalent(fs::path(platform::executablePath()).parent_path(), fs::path(platform::ProgramFolder())));

    testsupport::TempFolder writable;
    const std::string fallback = writable.file("data/Dozozeda");
    const auto fallbackFn = [&] { return fallback; };
    EXPECT_EQ(platform::chooseProgramFolder(writable.path(), fallbackFn), writable.path());
    // Installed there: root may write to /usr/bin, but no test file goes there.
    EXPECT_EQ(platform::chooseProgramFolder(writable.path(), fallbackFn, writable.path()), fallback);
#ifdef __linux__
    testsupport::SmallDisk readOnly(1, true);
    if (!readOnly.available())
        GTEST_SKIP() << "mounting a read-only tmpfs needs root";
    EXPECT_EQ(platform::chooseProgramFolder(readOnly.path(), fallbackFn), fallback);
    EXPECT_TRUE(fs::is_directory(fallback));
#endif
}

// A copy within one tick of the clock still gets a finite rate.
TEST(Clock, ElapsedTimeIsNeverLessThanOneTick)
{
    EXPECT_DOUBLE_EQ(platform::elapsedSeconds(10s, 12500ms, 1ns), 2.5);
    EXPECT_DOUBLE_EQ(platform::elapsedSeconds(7s, 7s, 100ns), 1e-7);
    EXPECT_GT(platform::elapsedSeconds(7s, 7s, 0ns), 0.0);
}
