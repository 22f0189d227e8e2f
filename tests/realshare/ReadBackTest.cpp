// The timed read of a copy just written to the real share that run-tests.sh
// --gvfs serves over a veth pair shaped to 100 Mbit/s, through both FUSE
// clients (smbnetfs and gvfs). A read that came from this machine's memory
// would be faster than the link and would not cross it; so the reported rate
// must stay under the link's and the client end of the pair must receive at
// least the file's size between the clock's two readings. The positive
// control reads the file twice through one descriptor, which FUSE serves from
// memory the second time, and shows that these two checks catch it.

#include "TimedCopy.h"
#include "TimedRead.h"

#include "Clock.h"
#include "PatternFile.h"
#include "Runtime.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
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

// Bytes the client's end of the pair has received (headers included), read
// without starting a process, which the timed span could not afford.
std::int64_t clientReceived()
{
    std::ifstream dev("/proc/self/net/dev");
    const std::string name = env("CLIENT_IF") + ":";
    for (std::string line; std::getline(dev, line);) {
        const auto at = line.find(name);
        if (at != std::string::npos && line.find_first_not_of(' ') == at)
            return std::stoll(line.substr(at + name.size()));
    }
    throw std::runtime_error("no " + env("CLIENT_IF") + " in this network namespace");
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
    mutable std::vector<std::int64_t> received;

private:
    platform::SteadyClock m_steady;
};

struct Client {
    const char* name;
    const char* folderVariable;  // set by run-tests.sh --gvfs
    friend void PrintTo(const Client& client, std::ostream* out) { *out << client.name; }
};

// What the two checks say about one read.
struct OverTheLink {
    double bytesPerSecond;
    std::int64_t received;
    bool belowTheLink() const { return bytesPerSecond <= 1.05 * kLinkBytesPerSecond; }
    bool crossedIt() const { return received >= kSize; }
};

class ReadBack : public testing::TestWithParam<Client> {
protected:
    // This process joins the client's network namespace, where the FUSE
    // daemons talk to the server, to see its counters; its files go through
    // the mounts as before.
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(env("DOZOZEDA_SHARE_STATE").empty() || env("GVFS_SHARE").empty() || env("CLIENT_NS").empty())
            << "no share in the environment; run this program through run-tests.sh --gvfs";
        ASSERT_EQ(std::system((std::string(DOZOZEDA_SHARE_SCRIPT) + " rate " + env("DOZOZEDA_SHARE_STATE") + " "
                               + std::to_string(kLinkMbit))
                                  .c_str()),
                  0);
        const int ns = ::open(("/run/netns/" + env("CLIENT_NS")).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::setns(ns, CLONE_NEWNET), 0) << "cannot join " << env("CLIENT_NS");
        ::close(ns);
    }
};

} // namespace

// The same file then serves as the positive control: without a fresh open,
// FUSE keeps what it read, and the checks fail for a second pass through the
// same descriptor.
TEST_P(ReadBack, ACopyJustWrittenIsReadOverTheLinkNotFromMemory)
{
    const testsupport::TempFolder local;
    const TestPattern pattern = TestPattern::random(77);
    testsupport::writePatternFile(local.file("source.dum"), pattern, kSize);
    const platform::ResolvedPath copy =
        measure::timeCopy(local.at("source.dum"),
                          platform::ResolvedPath::fromSystem(env(GetParam().folderVariable))
                              .child("dozozeda-readback-" + std::to_string(::getpid()) + ".dum"))
            .copy;

    const ReceivingClock clock;
    const measure::ReadTiming timing = [&] {
        const platform::ScopedClock useClock(clock);
        return measure::timeRead(copy, kSize, pattern);
    }();
    const OverTheLink read{static_cast<double>(timing.bytes) / timing.seconds(), clock.received.at(1) - clock.received.at(0)};
    // A FUSE client drops the file's pages at every open; nothing is left.
    EXPECT_EQ(timing.bypass, CacheBypass::FadviseDontNeed) << measure::name(timing.bypass);
    EXPECT_EQ(timing.residentBefore, 0.0);
    EXPECT_TRUE(read.belowTheLink()) << read.bytesPerSecond * 8 / 1e6 << " Mbit/s";
    EXPECT_TRUE(read.crossedIt()) << read.received << " bytes received";

    const int fd = ::open(copy.native().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const auto buffer = std::make_unique<char[]>(4 << 20);
    OverTheLink pass{};
    for (int passes = 0; passes < 2; ++passes) {
        const std::int64_t before = clientReceived();
        const auto started = std::chrono::steady_clock::now();
        ::lseek(fd, 0, SEEK_SET);
        while (::read(fd, buffer.get(), 4 << 20) > 0) {
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        pass = {static_cast<double>(kSize) / seconds, clientReceived() - before};
    }
    ::close(fd);
    platform::DeleteFile(copy);
    EXPECT_FALSE(pass.belowTheLink()) << "the second pass came over the link";
    EXPECT_FALSE(pass.crossedIt()) << "the second pass came over the link";
    std::printf("%s: timed read %.1f Mbit/s, %lld bytes received; second pass through one descriptor %.0f Mbit/s, "
                "%lld bytes received\n",
                GetParam().name, read.bytesPerSecond * 8 / 1e6, static_cast<long long>(read.received),
                pass.bytesPerSecond * 8 / 1e6, static_cast<long long>(pass.received));
}

INSTANTIATE_TEST_SUITE_P(RealShare, ReadBack,
                         testing::Values(Client{"smbnetfs", "SHARE_DATA"}, Client{"gvfs", "GVFS_SHARE"}),
                         [](const testing::TestParamInfo<Client>& info) { return info.param.name; });
