// The reported time ends when the copy is on the target's storage: the copy
// is flushed, and the flush lies between the clock's two readings. The
// program's own fsync calls are observed here by standing in for fsync, and
// its writes by standing in for write.

#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <dlfcn.h>
#include <limits.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace {

std::mutex syncsLock;
std::function<void(const std::string& path)> onSync;

// Every write of the process passes here; only an armed test looks at them.
std::atomic<bool> writesWatched = false;
std::function<void(int fd, std::size_t count)> beforeWrite;

std::string pathOf(int fd)
{
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

void observe(int fd)
{
    const std::lock_guard lock(syncsLock);
    if (onSync)
        onSync(pathOf(fd));
}

} // namespace

extern "C" int fsync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    observe(fd);
    return real(fd);
}

extern "C" ssize_t write(int fd, const void* data, size_t count)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(::dlsym(RTLD_NEXT, "write"));
    if (writesWatched)
        beforeWrite(fd, count);
    return real(fd, data, count);
}

extern "C" int fdatasync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"));
    observe(fd);
    return real(fd);
}

TEST(Durability, TheCopyIsFlushedBetweenTheClocksTwoReadings)
{
    SpeedTestSession session;
    ASSERT_TRUE(session.start());
    const std::string copy = session.target.file("dummyfile.dum");
    std::vector<int> readingsAtFlush;
    {
        const std::lock_guard lock(syncsLock);
        onSync = [&](const std::string& path) {
            if (path == copy)
                readingsAtFlush.push_back(session.clock.readings());
        };
    }
    session.typeTarget(session.targetFolder());

    session.clickCheckSpeed();

    {
        const std::lock_guard lock(syncsLock);
        onSync = nullptr;
    }
    EXPECT_EQ(session.report().substr(0, reportStart(1).size() + 9), reportStart(1) + "Filesize:");
    // One flush, after the first reading and before the second.
    EXPECT_EQ(readingsAtFlush, std::vector<int>{1});
}

// The last mebibyte of the test file is flushed when the file is closed. A
// close of the window that arrives during that flush (a slow disk, a home
// folder on the network) still leaves no test file once the program has ended.
TEST(Durability, ClosingDuringTheLastFlushOfTheTestFileLeavesNone)
{
    WindowTestEnvironment env;
    const auto person = makePerson();
    Forms forms;
    forms.form1.Show();
    person->click(forms.form1, "Option1");
    std::atomic<bool> closing = false;
    beforeWrite = [&](int fd, std::size_t count) {
        if (::lseek(fd, 0, SEEK_CUR) + static_cast<off_t>(count) != 10 * kMegabyte || pathOf(fd) != env.dummyFile())
            return;
        person->post([&] {
            closing = true;
            person->pressAltF4(forms.form1);
        });
        for (int waited = 0; !closing && waited < 500; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        // The flush goes on while the closing waits for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    writesWatched = true;

    person->click(forms.form1, "Command1");

    writesWatched = false;
    EXPECT_TRUE(closing);
    EXPECT_EQ(sizeOf(env.dummyFile()), -1);
    EXPECT_EQ(env.programEnded(), std::optional<int>(0));
    EXPECT_EQ(env.messages(), std::vector<std::string>{});
}
