// What the command line writes goes again, whatever stops it: the local test
// file when its own write fails or is stopped, and each copy from the very
// folder it was written to, even once the share is found somewhere else.

#include "FakeMounts.h"
#include "LocalTestFile.h"
#include "RunLoop.h"
#include "ShareAddress.h"
#include "TempFolder.h"

#include "Clock.h"
#include "PlatformError.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

using testsupport::entryCount;
using testsupport::FakeMounts;
using testsupport::TempFolder;

namespace fs = std::filesystem;

namespace {

// Files may grow only so far while it lives; a write past that fails with
// EFBIG, as one on a full disk does with ENOSPC.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

class Reading : public platform::Clock {
public:
    std::chrono::nanoseconds now() const override
    {
        if (++readings == 2 && atCopyEnd)
            atCopyEnd();
        return std::chrono::seconds(readings);
    }
    std::chrono::nanoseconds resolution() const override { return std::chrono::nanoseconds(1); }
    mutable int readings = 0;
    std::function<void()> atCopyEnd;
};

class Quiet : public cli::RunObserver {
public:
    void stepStarted(int, int, cli::Direction, bool) override {}
    void stepFinished(const cli::RunResult&) override {}
    void problem(const std::string& message) override { problems.push_back(message); }
    std::vector<std::string> problems;
};

} // namespace

TEST(LocalTestFile, AWriteThatFailsOrIsStoppedLeavesNoFile)
{
    const TempFolder folder;
    const auto pattern = measure::TestPattern::x();
    {
        const FileSizeLimit limit(3 << 20);
        const std::string error =
            testsupport::errorOf([&] { cli::LocalTestFile(folder.here(), "host", 10 << 20, pattern, {}); });
        EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    }
    EXPECT_EQ(entryCount(folder.path()), 0);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(cli::LocalTestFile(folder.here(), "host", 10 << 20, pattern, stop.get_token()), platform::Cancelled);
    EXPECT_EQ(entryCount(folder.path()), 0);
}

// The share is mounted in another place by the time the copy is whole: the
// copy is removed from where it went, and the other place is left alone.
TEST(RunLoop, EachCopyIsRemovedFromWhereItWentNotWhereTheShareIsNow)
{
    FakeMounts mounts;
    const std::string first = mounts.gvfsFolder() + "/smb-share:server=nas,share=media";
    const TempFolder elsewhere, local;
    const std::string second = elsewhere.file("gvfs/smb-share:server=nas,share=media");
    fs::create_directories(first);
    fs::create_directories(second);
    mounts.set(mounts.gvfsLine());
    const platform::ResolvedPath target = platform::resolvePath("smb://nas/media");
    ASSERT_EQ(target.native(), first);

    Reading clock;
    clock.atCopyEnd = [&] {
        ::setenv("XDG_RUNTIME_DIR", elsewhere.path().c_str(), 1);
        mounts.set(FakeMounts::line(elsewhere.file("gvfs"), "fuse.gvfsd-fuse"));
    };
    const platform::ScopedClock useClock(clock);
    const cli::LocalTestFile file(local.here(), "host", 10 << 20, measure::TestPattern::x(), {});
    cli::Report report;
    report.repeats = 1;
    Quiet observer;
    cli::runAll({file.path(), target, "copy.tmp", 10 << 20, measure::TestPattern::x()}, report, observer, {});

    EXPECT_EQ(report.outcome, cli::Outcome::Ok) << (observer.problems.empty() ? "" : observer.problems[0]);
    ASSERT_EQ(platform::resolvePath("smb://nas/media").native(), second);
    EXPECT_EQ(entryCount(first), 0);
    EXPECT_EQ(entryCount(second), 0);
}
