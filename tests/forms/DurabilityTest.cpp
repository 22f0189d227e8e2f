// The reported time ends when the copy is on the target's storage: the copy
// is flushed, and the flush lies between the clock's two readings. The
// program's own fsync calls are observed here by standing in for fsync.

#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <limits.h>
#include <mutex>
#include <unistd.h>

using namespace testsupport;

namespace {

std::mutex syncsLock;
std::function<void(const std::string& path)> onSync;

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
