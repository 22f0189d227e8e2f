// The workload suite against the real SMB share of tests/realshare (served
// by run-tests.sh at 100 Mbit/s, mounted by smbnetfs), with round trips
// added by its relay: what each file costs as the delay grows, the rate
// over time when the link slows down mid-write, streams that share a link,
// and signals, a full share and a cut link in the middle of the files test.
// The server's folder is compared before and after every run.

#include "CliRunner.h"
#include "TempFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

using namespace clitest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// What TCP/IP and SMB2 headers leave of a shaped link (tests/realshare/README.md).
constexpr double kGoodput = 0.955;


// Every entry under a server folder, as paths relative to it.
std::set<std::string> serverTree(const std::string& folder)
{
    std::set<std::string> entries;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        entries.insert(fs::relative(entry->path(), folder).string());
    return entries;
}

// The size of the largest file in a server folder, or -1 while there is none.
std::int64_t largestFile(const std::string& folder)
{
    std::int64_t largest = -1;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        largest = std::max(largest, static_cast<std::int64_t>(entry->file_size(error)));
    return largest;
}

// What the process is waiting for in the kernel: the numbers of the system
// calls its threads are blocked in, with their first four arguments.
struct Blocked {
    long call;
    unsigned long args[4];
};

std::vector<Blocked> blockedCalls(qint64 pid)
{
    std::vector<Blocked> calls;
    for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(QStringLiteral("/proc/%1/task/%2/syscall").arg(pid).arg(task));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = file.readAll().simplified().split(' ');
        bool number = false;
        Blocked blocked{fields.value(0).toLong(&number), {}};
        if (!number || fields.size() < 5)
            continue;
        for (int i = 0; i < 4; ++i)
            blocked.args[i] = fields[i + 1].toULong(nullptr, 16);
        calls.push_back(blocked);
    }
    return calls;
}

// The phase of the files test a blocked call belongs to (x86-64 numbers),
// or nothing. Only the files test makes these calls on the share.
std::optional<std::string> phaseOf(const Blocked& blocked)
{
    constexpr long kRead = 0, kFsync = 74, kUnlink = 87, kFadvise = 221, kOpenAt = 257, kUnlinkAt = 263, kStatx = 332;
    constexpr unsigned long kCreate = 0100 | 0200, kDirectory = 0200000, kForceSync = 0x2000;
    switch (blocked.call) {
    case kOpenAt:
        if ((blocked.args[2] & kCreate) == kCreate)
            return "create";
        if (blocked.args[2] & kDirectory)
            return "enumerate";
        return "read";
    case kFsync:
        return "create";
    case kStatx:
        if (blocked.args[2] & kForceSync)
            return "stat";
        return std::nullopt;
    case kRead:
    case kFadvise:
        return "read";
    case kUnlink:
    case kUnlinkAt:
        return "delete";
    default:
        return std::nullopt;
    }
}

// Waits until the files test of process `pid` is blocked in `phase`, and
// then calls `act`; false when the process ended first. The phases come in
// order after the first create: what the program does before the test (it
// lists the target for files earlier runs left) makes some of the same calls.
bool whenBlockedIn(qint64 pid, const std::string& phase, const std::function<void()>& act)
{
    bool created = false;
    while (fs::exists("/proc/" + std::to_string(pid) + "/task")) {
        for (const Blocked& blocked : blockedCalls(pid)) {
            const std::optional<std::string> seen = phaseOf(blocked);
            created = created || seen == "create";
            if (created && seen == phase) {
                act();
                return true;
            }
        }
        std::this_thread::sleep_for(200us);
    }
    return false;
}

class RealShareWorkload : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (env("DOZOZEDA_SHARE_STATE").empty() || env("DOZOZEDA_SHARE_RELAY").empty())
            FAIL() << "no share or relay in the environment; run this program through ctest (run-tests.sh)";
    }

    void SetUp() override { before = serverTree(dataServer); }

    // The server's folder as it was, after removing through the share what
    // a failed test left (so that the client sees it go too).
    void TearDown() override
    {
        EXPECT_TRUE(share({"delay", "off"}));
        EXPECT_TRUE(share({"rate", "100"}));
        EXPECT_TRUE(share({"restore"}));
        for (int attempt = 0; attempt < 100 && serverTree(dataServer) != before; ++attempt) {
            std::error_code ignored;
            for (fs::directory_iterator entry(dataServer, ignored), end; !ignored && entry != end; entry.increment(ignored)) {
                if (!before.count(entry->path().filename().string()))
                    fs::remove_all(data + "/" + entry->path().filename().string(), ignored);
            }
            std::this_thread::sleep_for(100ms);
        }
        EXPECT_EQ(serverTree(dataServer), before);
        EXPECT_EQ(entryCount(tmp.path()), 0);
    }

    Ended run(const QStringList& args, const std::function<bool(qint64)>& whileRunning = {})
    {
        return runCli(args, {{QStringLiteral("TMPDIR"), q(tmp.path())}}, whileRunning);
    }

    // The files test, stopped by `signal` once it blocks in `phase`.
    Ended signalledIn(const std::string& phase, int signal)
    {
        return run({"--tests=files", "--files=12", "--file-size=4K", "-n", "1", q(data)}, [&](qint64 pid) {
            whenBlockedIn(pid, phase, [&] { ::kill(static_cast<pid_t>(pid), signal); });
            return true;
        });
    }

    const std::string data = env("SHARE_DATA");
    const std::string dataServer = env("SHARE_DATA_SERVER_DIR");
    std::set<std::string> before;
    testsupport::TempFolder tmp;
};

double p50(const QJsonObject& phase)
{
    return phase.value("latency_seconds").toObject().value("p50").toDouble();
}

QJsonObject phase(const QJsonObject& result, const QString& name)
{
    for (const QJsonValue& run : result["runs"].toArray()) {
        for (const QJsonValue& phase : run["phases"].toArray()) {
            if (phase["phase"].toString() == name)
                return phase.toObject();
        }
    }
    return {};
}

} // namespace

// Each create (with its write, flush and close) and each delete is a round
// trip at least; a stat is one too, unless it says it came from memory.
TEST_F(RealShareWorkload, EveryFileCostsRoundTripsSoFilesPerSecondFallAsTheDelayGrows)
{
    double previous = 0;
    for (const double delay : {0.0, 2.0, 10.0}) {
        ASSERT_TRUE(share({"delay", QString::number(delay)}));
        const Ended ended = run({"--tests=files", "--files=30", "--file-size=4K", "-n", "1", "--require-network", "-f",
                                 "json", q(data)});
        ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
        EXPECT_EQ(schemaProblems(ended.out), "");
        const QJsonObject result = jsonOf(ended.out);
        std::printf("round trip + %4.1f ms:", delay);
        for (const char* name : {"create", "enumerate", "stat", "read", "delete"}) {
            const QJsonObject figures = phase(result, name);
            std::printf(" %s %.1f/s (p50 %.2f ms)%s", name, figures["operations_per_second"].toDouble(),
                        p50(figures) * 1000,
                        figures["client_cache_suspect"].toBool() ? " from memory" : "");
        }
        std::printf("\n");
        const double seconds = delay / 1000;
        EXPECT_GE(p50(phase(result, "create")), seconds);
        EXPECT_GE(p50(phase(result, "delete")), seconds);
        const QJsonObject stat = phase(result, "stat");
        EXPECT_TRUE(stat["client_cache_suspect"].toBool() || p50(stat) >= seconds)
            << "a stat quicker than the round trip passed for the server's";
        const double rate = phase(result, "create")["operations_per_second"].toDouble();
        EXPECT_LT(rate, previous > 0 ? previous : rate + 1) << "at " << delay << " ms";
        previous = rate;
        EXPECT_EQ(serverTree(dataServer), before);
    }
}

// 200 MiB at 400 Mbit/s, slowed to 100 Mbit/s once 150 MiB are on the
// server. A second at 100 Mbit/s is 11 blocks of 1 MiB, so that one block
// more or less in an interval moves it by 9 %.
TEST_F(RealShareWorkload, IntervalsShowTheLinkSlowingMidWriteAndAddUpToTheFile)
{
    constexpr std::int64_t kSize = 200 * 1048576;
    ASSERT_TRUE(share({"rate", "400"}));
    bool slowed = false;
    const Ended ended = run({"-s", "200", "-n", "1", "--interval", "1", "-f", "json", q(data)}, [&](qint64) {
        if (largestFile(dataServer) < 150 * 1048576)
            return false;
        slowed = share({"rate", "100"});
        return true;
    });
    ASSERT_TRUE(slowed);
    ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
    const QJsonArray intervals = jsonOf(ended.out)["runs"][0]["intervals"].toArray();
    std::int64_t bytes = 0;
    std::printf("Mbit/s per second:");
    for (const QJsonValue& interval : intervals) {
        bytes += interval["bytes"].toInteger();
        std::printf(" %.0f", interval["bytes"].toDouble() * 8 / 1e6 / interval["seconds"].toDouble());
    }
    std::printf("\n");
    EXPECT_EQ(bytes, kSize);
    ASSERT_GE(intervals.size(), 8);
    EXPECT_TRUE(intervals.last()["flush"].toBool());
    const auto mbits = [&](int i) {
        return intervals[i]["bytes"].toDouble() * 8 / 1e6 / intervals[i]["seconds"].toDouble();
    };
    // The first interval holds the start of the transfer, the fourth the
    // change; the last of data is cut short, and the flush has no bytes.
    for (const int early : {1, 2})
        EXPECT_NEAR(mbits(early), 400 * kGoodput, 0.15 * 400 * kGoodput) << "interval " << early;
    for (int late = static_cast<int>(intervals.size()) - 5; late < intervals.size() - 2; ++late)
        EXPECT_NEAR(mbits(late), 100 * kGoodput, 0.15 * 100 * kGoodput) << "interval " << late;
}

TEST_F(RealShareWorkload, FourStreamsTogetherStayWithinTheLinkAndLeaveNoCopy)
{
    ASSERT_TRUE(share({"rate", "400"}));
    std::size_t most = 0;
    const Ended ended = run({"-s", "20", "-n", "1", "--streams", "4", "--read", "-f", "json", q(data)}, [&](qint64) {
        most = std::max(most, serverTree(dataServer).size() - before.size());
        return false;
    });
    ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
    EXPECT_EQ(schemaProblems(ended.out), "");
    EXPECT_EQ(most, 4u) << "the four copies were never on the server at once";
    for (const QJsonValue& run : jsonOf(ended.out)["runs"].toArray()) {
        const double rate = run["bytes_per_second"].toDouble();
        std::printf("%s, 4 streams: %.1f Mbit/s (%.3f x the link); each:", qPrintable(run["test"].toString()),
                    rate * 8 / 1e6, rate * 8 / 400e6);
        for (const QJsonValue& stream : run["streams"].toArray())
            std::printf(" %.1f", stream["bytes_per_second"].toDouble() * 8 / 1e6);
        std::printf("\n");
        EXPECT_LE(rate * 8, 400e6);
        EXPECT_EQ(run["streams"].toArray().size(), 4);
    }
}

// Stopped in each phase, with 10 ms added so that every phase lasts: the
// program ends by the signal, says nothing, and leaves nothing.
TEST_F(RealShareWorkload, CtrlCAndSigtermInEveryPhaseOfTheFilesTestLeaveNothing)
{
    ASSERT_TRUE(share({"delay", "10"}));
    for (const char* phase : {"create", "enumerate", "stat", "read", "delete"}) {
        for (const int signal : {SIGINT, SIGTERM}) {
            const Ended ended = signalledIn(phase, signal);
            std::printf("%s, signal %d: ended after %.2f s\n", phase, signal, ended.seconds);
            EXPECT_TRUE(ended.bySignal) << phase << ": " << ended.err.toStdString();
            EXPECT_EQ(ended.status, signal) << phase;
            EXPECT_EQ(ended.err, QString()) << phase;
            EXPECT_EQ(serverTree(dataServer), before) << phase << ", signal " << signal;
        }
    }
}

TEST_F(RealShareWorkload, AShareThatFillsUpWhileFilesAreCreatedFailsWithExitOneAndNothingLeft)
{
    const std::string smallServer = env("SHARE_SMALL_SERVER_DIR");
    const Ended ended = run({"--tests=files", "--files=100", "--file-size=1M", "-n", "1", "-f", "json", q(env("SHARE_SMALL"))});
    EXPECT_EQ(ended.status, 1);
    EXPECT_TRUE(ended.err.contains("No space left on device")) << ended.err.toStdString();
    const QJsonObject result = jsonOf(ended.out);
    EXPECT_EQ(result["error"]["stage"].toString(), "files");
    EXPECT_TRUE(result["cleanup"]["remote_copy_removed"].toBool());
    EXPECT_EQ(entryCount(smallServer), 0);
}

// The link goes down while the folder is listed: the run fails once the
// mount gives up, the removal stops at the first file that cannot go, and
// the message names exactly what stayed, which is then on the server.
TEST_F(RealShareWorkload, ALinkCutWhileListingNamesExactlyWhatStayed)
{
    ASSERT_TRUE(share({"delay", "10"}));
    bool cut = false;
    const Ended ended = run({"--tests=files", "--files=12", "--file-size=4K", "-n", "1", q(data)}, [&](qint64 pid) {
        whenBlockedIn(pid, "enumerate", [&] { cut = share({"cut"}); });
        return true;
    });
    ASSERT_TRUE(cut);
    std::printf("with the link cut while listing the program ended after %.1f s\n", ended.seconds);
    EXPECT_EQ(ended.status, 1);
    EXPECT_TRUE(ended.err.contains("Input/output error")) << ended.err.toStdString();
    EXPECT_TRUE(ended.err.contains(".files' stays with f1.tmp to f12.tmp (12 files)")) << ended.err.toStdString();
    ASSERT_TRUE(share({"restore"}));
    std::set<std::string> stayed;
    for (const std::string& entry : serverTree(dataServer)) {
        if (!before.count(entry))
            stayed.insert(entry);
    }
    ASSERT_EQ(stayed.size(), 13u);
    EXPECT_TRUE(stayed.begin()->ends_with(".files"));
}

// Another program puts a file into the test's folder, and one under a name
// the test has not made yet: neither is written over or removed, and the
// folder stays with them.
TEST_F(RealShareWorkload, FilesOfAnothersInTheTestsFolderAreNeverTouched)
{
    ASSERT_TRUE(share({"delay", "10"}));
    std::string folder;
    const Ended ended = run({"--tests=files", "--files=20", "--file-size=4K", "-n", "1", q(data)}, [&](qint64) {
        for (const std::string& entry : serverTree(dataServer)) {
            if (entry.ends_with(".files")) {
                folder = dataServer + "/" + entry;
                testsupport::writeFile(folder + "/theirs.txt", "theirs");
                testsupport::writeFile(folder + "/f20.tmp", "also theirs");
                return true;
            }
        }
        return false;
    });
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(ended.status, 1);
    EXPECT_TRUE(ended.err.contains("f20.tmp")) << ended.err.toStdString();
    EXPECT_TRUE(ended.err.contains("stays: it holds something this test did not make")) << ended.err.toStdString();
    EXPECT_EQ(testsupport::readFile(folder + "/theirs.txt"), "theirs");
    EXPECT_EQ(testsupport::readFile(folder + "/f20.tmp"), "also theirs");
    EXPECT_EQ(entryCount(folder), 2);
}
