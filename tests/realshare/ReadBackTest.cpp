// The timed read of a copy just written to the real share that run-tests.sh
// --gvfs serves over a veth pair shaped to 100 Mbit/s, through both FUSE
// clients (smbnetfs and gvfs). A read that came from this machine's memory
// would be faster than the link and would not cross it; so the reported rate
// must stay under the link's and the client end of the pair must receive at
// least the file's size between the clock's two readings. The positive control reads a file twice
// through one descriptor, which FUSE serves from memory the second time,
// and shows that these two checks catch it.

#include "TimedCopy.h"
#include "TimedRead.h"

#include "Clock.h"
#include "PatternFile.h"
#include "Runtime.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

using measure::CacheBypass;
using measure::TestPattern;

namespace {

constexpr int kLinkMbit = 100;
constexpr double kLinkBytesPerSecond = kLinkMbit * 1e6 / 8;
constexpr std::int64_t kSize = std::int64_t{10} << 20;

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// What a shell command prints; throws when it fails.
std::string output(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string text;
    char buffer[256];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        text.append(buffer, n);
    if (::pclose(pipe.release()) != 0)
        throw std::runtime_error(command + " failed");
    return text;
}

// The client namespace's network counters, read without starting a process
// (which the timed span could not afford): /proc/PID/net/dev shows the
// namespace of the process PID, and the FUSE daemons live in the client's.
std::string clientNetDev()
{
    static const std::string path = [] {
        const std::string pids = output("ip netns pids " + env("CLIENT_NS"));
        return "/proc/" + pids.substr(0, pids.find('\n')) + "/net/dev";
    }();
    return path;
}

// Bytes the client's end of the pair has received (headers included).
std::int64_t clientReceived()
{
    std::ifstream dev(clientNetDev());
    const std::string name = env("CLIENT_IF") + ":";
    for (std::string line; std::getline(dev, line);) {
        const auto at = line.find(name);
        if (at != std::string::npos && line.find_first_not_of(' ') == at)
            return std::stoll(line.substr(at + name.size()));
    }
    throw std::runtime_error("no " + env("CLIENT_IF") + " in " + clientNetDev());
}

// The steady clock, which also notes what the client had received at each
// reading: the bytes received between the two readings of a timed read are
// those of the timed span alone.
class ReceivingClock : public platform::Clock {
public:
    std::chrono::nanoseconds now() const override
    {
        received.push_back(clientReceived());
        return m_steady.now();
    }
    std::chrono::nanoseconds resolution() const override { return m_steady.resolution(); }
    std::int64_t duringTheSpan() const { return received.size() == 2 ? received[1] - received[0] : -1; }
    mutable std::vector<std::int64_t> received;

private:
    platform::SteadyClock m_steady;
};

struct Client {
    const char* name;
    const char* folderVariable;  // set by run-tests.sh --gvfs
    friend void PrintTo(const Client& client, std::ostream* out) { *out << client.name; }
};

class ReadBack : public testing::TestWithParam<Client> {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(env("DOZOZEDA_SHARE_STATE").empty() || env("GVFS_SHARE").empty() || env("CLIENT_NS").empty())
            << "no share in the environment; run this program through run-tests.sh --gvfs";
        ASSERT_EQ(std::system((std::string(DOZOZEDA_SHARE_SCRIPT) + " rate " + env("DOZOZEDA_SHARE_STATE") + " "
                               + std::to_string(kLinkMbit))
                                  .c_str()),
                  0);
    }

    void TearDown() override
    {
        if (!copy.empty())
            platform::DeleteFile(copy);
    }

    // A copy of the test file written through the client, fsynced and closed,
    // as the command line leaves it before timing the read.
    void writeCopy()
    {
        const std::string source = local.file("source.dum");
        testsupport::writePatternFile(source, pattern, kSize);
        const measure::CopyTiming written = measure::timeCopy(
            source, env(GetParam().folderVariable) + "/dozozeda-readback-" + std::to_string(::getpid()) + ".dum");
        copy = written.copy;
        std::printf("%s: wrote %lld bytes in %.3f s (%.1f Mbit/s)\n", GetParam().name,
                    static_cast<long long>(written.bytes), written.seconds(), written.bytes * 8 / written.seconds() / 1e6);
    }

    const testsupport::TempFolder local;
    const TestPattern pattern = TestPattern::random(77);
    std::string copy;
};

// What the two checks below say about one read.
struct OverTheLink {
    double bytesPerSecond;
    std::int64_t received;
    bool belowTheLink() const { return bytesPerSecond <= 1.05 * kLinkBytesPerSecond; }
    bool crossedIt() const { return received >= kSize; }
};

} // namespace

TEST_P(ReadBack, ACopyJustWrittenIsReadOverTheLinkNotFromMemory)
{
    writeCopy();
    const ReceivingClock clock;
    const measure::ReadTiming timing = [&] {
        const platform::ScopedClock useClock(clock);
        return measure::timeRead(copy, kSize, pattern);
    }();
    const OverTheLink read{static_cast<double>(timing.bytes) / timing.seconds(), clock.duringTheSpan()};

    // A FUSE client drops the file's pages at every open; nothing is left.
    EXPECT_EQ(timing.bypass, CacheBypass::FadviseDontNeed) << measure::name(timing.bypass);
    EXPECT_EQ(timing.residentBefore, 0.0);
    EXPECT_TRUE(read.belowTheLink()) << read.bytesPerSecond * 8 / 1e6 << " Mbit/s";
    EXPECT_TRUE(read.crossedIt()) << read.received << " bytes received";
    std::printf("%s: read %s, %.3f s, %.1f Mbit/s = %.3f of the link; while the clock ran the client received "
                "%lld bytes = %.3f of the file\n",
                GetParam().name, std::string(measure::name(timing.bypass)).c_str(), timing.seconds(),
                read.bytesPerSecond * 8 / 1e6, read.bytesPerSecond / kLinkBytesPerSecond,
                static_cast<long long>(read.received), static_cast<double>(read.received) / kSize);
}

// The positive control: without a fresh open, FUSE keeps what it read, and
// the same checks fail for a second pass through the same descriptor.
TEST_P(ReadBack, TheChecksCatchASecondPassServedFromMemory)
{
    writeCopy();
    const int fd = ::open(copy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const auto buffer = std::make_unique<char[]>(4 << 20);
    const auto pass = [&] {
        const std::int64_t before = clientReceived();
        const auto started = std::chrono::steady_clock::now();
        std::int64_t bytes = 0;
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(fd, buffer.get(), 4 << 20)) > 0;)
            bytes += n;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(bytes, kSize);
        return OverTheLink{static_cast<double>(bytes) / seconds, clientReceived() - before};
    };
    const OverTheLink first = pass();
    const OverTheLink second = pass();
    ::close(fd);

    EXPECT_TRUE(first.belowTheLink() && first.crossedIt());
    EXPECT_FALSE(second.belowTheLink()) << "the second pass came over the link";
    EXPECT_FALSE(second.crossedIt()) << "the second pass came over the link";
    EXPECT_GT(second.bytesPerSecond, 3 * kLinkBytesPerSecond);
    EXPECT_LT(second.received, kSize / 20);
    std::printf("%s: one descriptor, first pass %.1f Mbit/s, %lld bytes received; second pass %.0f Mbit/s "
                "= %.1f x the link, %lld bytes received\n",
                GetParam().name, first.bytesPerSecond * 8 / 1e6, static_cast<long long>(first.received),
                second.bytesPerSecond * 8 / 1e6, second.bytesPerSecond / kLinkBytesPerSecond,
                static_cast<long long>(second.received));
}

INSTANTIATE_TEST_SUITE_P(RealShare, ReadBack,
                         testing::Values(Client{"smbnetfs", "SHARE_DATA"}, Client{"gvfs", "GVFS_SHARE"}),
                         [](const testing::TestParamInfo<Client>& info) { return info.param.name; });
