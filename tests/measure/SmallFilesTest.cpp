// Many small files and a tree of folders in a local folder: every phase
// times each operation, only what the test made is ever removed, a stop in
// any phase leaves nothing, and what cannot be removed is named.

#include "SmallFiles.h"

#include "Clock.h"
#include "FolderTree.h"
#include "PlatformError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

using testsupport::entryCount;
using testsupport::errorOf;
using testsupport::readFile;
using testsupport::writeFile;

namespace fs = std::filesystem;

namespace {

class SmallFiles : public testing::Test {
protected:
    measure::SmallFilesTiming run(std::int64_t files, std::int64_t bytes, const measure::PhaseObserver& observer = {},
                                  std::stop_token stop = {})
    {
        return measure::timeSmallFiles({target.at("files"), files, bytes, measure::TestPattern::random(7)},
                                       std::move(stop), observer);
    }

    const std::string folder() const { return target.file("files"); }

    testsupport::TempFolder target;
};

// Advances by the step the running phase set, one step per reading.
class PhaseClock : public platform::Clock {
public:
    std::chrono::nanoseconds now() const override { return m_now += step; }
    std::chrono::nanoseconds resolution() const override { return std::chrono::nanoseconds(1); }
    std::chrono::nanoseconds step{1000};

private:
    mutable std::chrono::nanoseconds m_now{};
};

} // namespace

TEST_F(SmallFiles, EveryPhaseTimesEachFileAndNothingStays)
{
    const measure::SmallFilesTiming timing = run(30, 3000);
    ASSERT_EQ(timing.phases.size(), 5u);
    const char* names[] = {"create", "enumerate", "stat", "read", "delete"};
    for (std::size_t i = 0; i < 5; ++i) {
        const measure::PhaseTiming& phase = timing.phases[i];
        EXPECT_EQ(phase.phase, names[i]);
        EXPECT_EQ(phase.operations, 30);
        EXPECT_EQ(phase.latency.count, 30);
        EXPECT_LE(phase.latency.p50, phase.latency.p90);
        EXPECT_LE(phase.latency.p99, phase.latency.max);
        EXPECT_LE(phase.latency.max, phase.seconds());
    }
    EXPECT_EQ(timing.phases[0].bytes, 30 * 3000);
    EXPECT_EQ(timing.phases[3].bytes, 30 * 3000);
    EXPECT_FALSE(timing.phases[1].bytes || timing.phases[2].bytes || timing.phases[4].bytes);
    EXPECT_NE(timing.phases[3].bypass, measure::CacheBypass::None);
    EXPECT_EQ(timing.leftOver, "");
    EXPECT_EQ(entryCount(target.path()), 0);

    // Files of no bytes are names alone: no phase moves data.
    for (const measure::PhaseTiming& phase : run(5, 0).phases)
        EXPECT_FALSE(phase.bytes) << phase.phase;
    EXPECT_EQ(entryCount(target.path()), 0);
}

// Another program's file is neither taken over nor removed: one there
// before the test, one made under the name the test is about to use, and
// one added once the files are made, which the test runs on around.
TEST_F(SmallFiles, SomethingOfAnothersIsNeitherTakenOverNorRemovedAndIsSaid)
{
    const auto expectOnlyTheirsStays = [&](const std::string& name, const std::string& said) {
        EXPECT_NE(said.find("stays: it holds something this test did not make"), std::string::npos) << said;
        EXPECT_EQ(entryCount(folder()), 1);
        EXPECT_EQ(readFile(folder() + "/" + name), "theirs");
        fs::remove_all(folder());
    };
    fs::create_directory(folder());
    writeFile(folder() + "/mine.txt", "mine");
    EXPECT_NE(errorOf([&] { run(3, 10); }).find("File exists"), std::string::npos);
    EXPECT_EQ(readFile(folder() + "/mine.txt"), "mine");
    fs::remove_all(folder());

    const std::string error = errorOf([&] {
        run(6, 10, [&](std::string_view phase) {
            if (phase == "create")
                writeFile(folder() + "/" + measure::smallFileName(3), "theirs");
        });
    });
    EXPECT_NE(error.find("f3.tmp"), std::string::npos) << error;
    // "File exists"; Windows says "The file exists".
    EXPECT_NE(error.find("ile exists"), std::string::npos) << error;
    expectOnlyTheirsStays("f3.tmp", error);

    const measure::SmallFilesTiming timing = run(8, 10, [&](std::string_view phase) {
        if (phase == "enumerate")
            writeFile(folder() + "/notes.txt", "theirs");
    });
    EXPECT_EQ(timing.phases[1].operations, 9);
    expectOnlyTheirsStays("notes.txt", timing.leftOver);
}

// In either test, the small files or the folder tree.
TEST_F(SmallFiles, AStopInAnyPhaseRemovesWhatWasMade)
{
    const std::pair<std::string_view, std::string_view> stops[] = {
        {"files", "create"},   {"files", "enumerate"},   {"files", "stat"}, {"files", "read"}, {"files", "delete"},
        {"folders", "create"}, {"folders", "enumerate"}, {"folders", "delete"}};
    for (const auto& [test, stopIn] : stops) {
        std::stop_source stop;
        const measure::PhaseObserver stopThere = [&](std::string_view phase) {
            if (phase == stopIn)
                stop.request_stop();
        };
        try {
            if (test == "files")
                run(10, 100, stopThere, stop.get_token());
            else
                measure::timeFolderTree({target.at("tree"), 25}, stop.get_token(), stopThere);
            ADD_FAILURE() << "not stopped in " << test << ", " << stopIn;
        } catch (const platform::Cancelled& cancelled) {
            EXPECT_EQ(cancelled.leftOver(), "") << test << ", " << stopIn;
        }
        EXPECT_EQ(entryCount(target.path()), 0) << test << ", " << stopIn;
    }
}

// A delete is always an answer from the server; a stat four times faster
// than one can only have come from this machine.
TEST_F(SmallFiles, AStatMuchQuickerThanADeleteIsSaidToComeFromThisMachine)
{
    for (const auto& [stat, fromMemory] : {std::pair{std::chrono::microseconds(10), true},
                                           std::pair{std::chrono::microseconds(400), false}}) {
        PhaseClock clock;
        const platform::ScopedClock useClock(clock);
        const measure::SmallFilesTiming timing = run(4, 10, [&](std::string_view phase) {
            clock.step = phase == "stat" ? std::chrono::nanoseconds(stat) : std::chrono::milliseconds(1);
        });
        EXPECT_EQ(timing.phases[2].clientCacheSuspect, fromMemory) << stat.count();
        EXPECT_DOUBLE_EQ(timing.phases[4].latency.p50, 0.001);
    }
}

#ifdef __linux__
// An immutable file (chattr +i) refuses its removal as a share that
// stopped answering would: the removal stops there and says exactly what
// stayed. Needs root and a file system with the flag (ext4 here).
TEST_F(SmallFiles, WhatCannotBeRemovedIsNamedExactly)
{
    const auto immutable = [&](const std::string& path, bool on) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        int flags = 0;
        const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
            && (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0)
            ::close(fd);
        return done;
    };
    bool held = false;
    const std::string error = errorOf([&] {
        run(10, 100, [&](std::string_view phase) {
            if (phase != "stat")
                return;
            held = immutable(folder() + "/f4.tmp", true);
            // Another program changes f7: the stat phase fails there.
            fs::resize_file(folder() + "/f7.tmp", 1);
        });
    });
    if (!held)
        GTEST_SKIP() << "the immutable flag cannot be set here (needs root and ext4)";
    EXPECT_NE(error.find("is not the file of 100 bytes written"), std::string::npos) << error;
    EXPECT_NE(error.find("could not be removed either: the folder '" + folder() + "' stays with f4.tmp to f10.tmp (7 files)"),
              std::string::npos)
        << error;
    EXPECT_EQ(entryCount(folder()), 7);
    immutable(folder() + "/f4.tmp", false);
}
#endif

TEST(FolderTree, TenFoldersInEachAreMadeListedAndRemoved)
{
    const testsupport::TempFolder target;
    const std::string root = target.file("tree");
    int inRoot = -1, inFirst = -1, inSecond = -1;
    const measure::FolderTreeTiming timing =
        measure::timeFolderTree({target.at("tree"), 25}, {}, [&](std::string_view phase) {
            if (phase != "enumerate")
                return;
            inRoot = entryCount(root);
            inFirst = entryCount(root + "/d0");
            inSecond = entryCount(root + "/d1");
        });
    EXPECT_EQ(inRoot, 10);
    EXPECT_EQ(inFirst, 10);
    EXPECT_EQ(inSecond, 5);
    ASSERT_EQ(timing.phases.size(), 3u);
    for (const measure::PhaseTiming& phase : timing.phases)
        EXPECT_EQ(phase.operations, 25) << phase.phase;
    EXPECT_EQ(timing.leftOver, "");
    EXPECT_EQ(entryCount(target.path()), 0);
}

TEST(FolderTree, AFileOfAnothersKeepsItsFoldersAndTheRestGoes)
{
    const testsupport::TempFolder target;
    const std::string root = target.file("tree");
    const std::string error = errorOf([&] {
        measure::timeFolderTree({target.at("tree"), 25}, {}, [&](std::string_view phase) {
            if (phase == "enumerate")
                writeFile(root + "/d1/d3/theirs.txt", "theirs");
        });
    });
    EXPECT_NE(error.find("Directory not empty"), std::string::npos) << error;
    // d1/d3 and d1 itself stay.
    EXPECT_NE(error.find("stays with 2 folders of this test's in it"), std::string::npos) << error;
    EXPECT_EQ(readFile(root + "/d1/d3/theirs.txt"), "theirs");
    EXPECT_EQ(entryCount(root), 1);
    EXPECT_EQ(entryCount(root + "/d1"), 1);
}
