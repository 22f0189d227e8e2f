#include "Clock.h"
#include "NativeFile.h"
#include "Paths.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::chrono_literals;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace fs = std::filesystem;

TEST(Runtime, DeleteFileRemovesOneFileAndRaisesWhenItIsMissing)
{
    TempFolder folder;
    writeFile(folder.file("dummyfile.dum"), "X");
    platform::DeleteFile(folder.path() + "\\/dummyfile.dum");
    EXPECT_FALSE(fs::exists(folder.file("dummyfile.dum")));
    try {
        platform::DeleteFile(folder.file("dummyfile.dum"));
        FAIL() << "deleting a missing file succeeded";
    } catch (const platform::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot delete '" + platform::normalizePath(folder.file("dummyfile.dum")) + "': No such file or directory");
    }
}

TEST(Runtime, FileLenGivesBytes)
{
    TempFolder folder;
    writeFile(folder.file("f"), std::string(10 * 1024 * 1024, 'X'));
    EXPECT_EQ(platform::FileLen(folder.file("f")), 10485760);
    EXPECT_THROW(platform::FileLen(folder.file("missing")), platform::Error);
}

TEST(Runtime, TrimRemovesSpacesOnly)
{
    EXPECT_EQ(platform::Trim("  \\\\nas\\share  "), "\\\\nas\\share");
    EXPECT_EQ(platform::Trim("   "), "");
    EXPECT_EQ(platform::Trim("\t/x\n"), "\t/x\n");
}

TEST(Runtime, IntToTextHasNoLeadingSpace)
{
    EXPECT_EQ(platform::IntToText(1), "1");
    EXPECT_EQ(platform::IntToText(32767), "32767");
    EXPECT_EQ(platform::IntToText(-5), "-5");
}

TEST(Runtime, ProgramFolderIsTheExecutablesFolder)
{
    const std::string exe = platform::executablePath();
    EXPECT_TRUE(fs::equivalent(fs::path(exe).parent_path(), fs::path(platform::ProgramFolder())));
}

TEST(Runtime, ProgramFolderFallsBackWhenTheExecutableFolderIsReadOnly)
{
    TempFolder writable;
    const std::string fallback = writable.file("data/Dozozeda");
    const auto fallbackFn = [&] { return fallback; };

    EXPECT_EQ(platform::chooseProgramFolder(writable.path(), fallbackFn), writable.path());

#ifdef __linux__
    testsupport::SmallDisk readOnly(1, true);
    if (!readOnly.available())
        GTEST_SKIP() << "mounting a read-only tmpfs needs root";
    EXPECT_EQ(platform::chooseProgramFolder(readOnly.path(), fallbackFn), fallback);
    EXPECT_TRUE(fs::is_directory(fallback));
#endif
}

namespace {

class FixedClock : public platform::Clock {
public:
    std::chrono::nanoseconds now() const override { return 42s; }
    std::chrono::nanoseconds resolution() const override { return 100ns; }
};

} // namespace

TEST(Clock, IsMonotonicAndReplaceable)
{
    const auto a = platform::clock().now();
    const auto b = platform::clock().now();
    EXPECT_LE(a, b);
    {
        FixedClock fixed;
        platform::ScopedClock scoped(fixed);
        EXPECT_EQ(platform::clock().now(), 42s);
    }
    EXPECT_GE(platform::clock().now(), b);
}

TEST(Clock, ElapsedTimeIsNeverZero)
{
    EXPECT_DOUBLE_EQ(platform::elapsedSeconds(10s, 12500ms, 1ns), 2.5);
    EXPECT_DOUBLE_EQ(platform::elapsedSeconds(7s, 7s, 100ns), 1e-7);
    EXPECT_GT(platform::elapsedSeconds(7s, 7s, 0ns), 0.0);
}
