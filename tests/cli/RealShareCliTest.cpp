// dozozeda-cli against the real SMB share that tests/realshare/run-tests.sh
// serves at 100 Mbit/s, mounted by smbnetfs and by gvfs: runs through the
// mount and through a typed share address, shares that fail, a link cut
// mid-copy, and a stop mid-copy that leaves nothing on the server.

#include "CliRunner.h"
#include "TempFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace clitest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// What the shaper lets through, in bytes per second.
constexpr double kLinkBytesPerSecond = 100e6 / 8;


// The size of the one file in a server folder, or -1 while there is none.
std::int64_t serverFileSize(const std::string& folder)
{
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        return static_cast<std::int64_t>(entry->file_size(error));
    return -1;
}

class RealShareCli : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (env("DOZOZEDA_SHARE_STATE").empty() || env("GVFS_SHARE").empty())
            FAIL() << "no share in the environment; run this program through run-tests.sh --gvfs";
    }

    // Whatever a failed test left: the link slowed or down, files on the
    // server (removed through the share, so the client sees them go).
    void TearDown() override
    {
        EXPECT_TRUE(share({"smbnetfs", "on"}));
        EXPECT_TRUE(share({"rate", "100"}));
        EXPECT_TRUE(share({"restore"}));
        for (const auto& [folder, server] : {std::pair(data, dataServer), std::pair(small, smallServer)}) {
            for (int attempt = 0; attempt < 100 && entryCount(server) != 0; ++attempt) {
                std::error_code ignored;
                for (fs::directory_iterator entry(server, ignored), end; !ignored && entry != end; entry.increment(ignored))
                    fs::remove(folder + "/" + entry->path().filename().string(), ignored);
                std::this_thread::sleep_for(100ms);
            }
            EXPECT_EQ(entryCount(server), 0);
        }
    }

    Ended run(const QStringList& args, const std::function<bool(qint64)>& whileRunning = {})
    {
        return runCli(args, {{QStringLiteral("TMPDIR"), q(tmp.path())}}, whileRunning);
    }

    // 100 MiB for three runs, the link cut once 10 MiB are on the server.
    Ended runCut(QStringList args)
    {
        bool cut = false;
        const Ended ended = run(args << "-s" << "100" << "-n" << "3" << "-f" << "json" << q(data), [&](qint64) {
            if (serverFileSize(dataServer) < 10 * 1024 * 1024)
                return false;
            cut = share({"cut"});
            return true;
        });
        EXPECT_TRUE(cut);
        EXPECT_EQ(entryCount(tmp.path()), 0);
        return ended;
    }

    // What a cut link kept on the server is gone once it answers again, by
    // the next run at the latest, which says so.
    void expectTheNextRunRemoves(const QJsonObject& cutRun)
    {
        const std::int64_t partial = serverFileSize(dataServer);
        std::printf("a partial copy of %lld bytes stayed on the server\n", static_cast<long long>(partial));
        ASSERT_TRUE(share({"restore"}));
        const Ended next = run({"-s", "10", "-n", "1", "-f", "json", q(data)});
        EXPECT_EQ(next.status, 0) << next.err.toStdString();
        const QJsonArray removed = jsonOf(next.out)["cleanup"].toObject()["stale_removed"].toArray();
        if (partial >= 0) {
            EXPECT_EQ(removed.size(), 1);
            EXPECT_EQ(removed[0].toString(), q(data) + "/" + cutRun["parameters"]["copy_name"].toString());
        }
        EXPECT_EQ(entryCount(dataServer), 0);
    }

    const std::string data = env("SHARE_DATA");
    const std::string dataServer = env("SHARE_DATA_SERVER_DIR");
    const std::string small = env("SHARE_SMALL");
    const std::string smallServer = env("SHARE_SMALL_SERVER_DIR");
    const std::string serverIp = env("SERVER_IP");
    testsupport::TempFolder tmp;
};

} // namespace

// What the command line says of each read, with the bound the core's own
// tests prove: never above the link, which a read from memory would be.
void expectHonestReads(const QJsonObject& result, const char* client)
{
    for (const QJsonValue& run : result["runs"].toArray()) {
        const double rate = run["bytes_per_second"].toDouble();
        if (run["test"].toString() == "write") {
            EXPECT_LT(rate, kLinkBytesPerSecond);
            continue;
        }
        const QString bypass = run["cache_bypass"].toString();
        std::printf("%s: read %.2f MiB/s (%.3f x the link), %s, %.0f %% resident before\n", client, rate / 1048576,
                    rate / kLinkBytesPerSecond, qPrintable(bypass), run["resident_fraction_before"].toDouble() * 100);
        EXPECT_LT(rate, 1.05 * kLinkBytesPerSecond);
        EXPECT_TRUE(bypass == "fadvise_dontneed" || bypass == "o_direct") << bypass.toStdString();
        EXPECT_FALSE(run["cache_suspect"].toBool(true));
    }
}

TEST_F(RealShareCli, WritesAndReadsThroughTheMountAndThroughATypedAddressAndLeaveNothing)
{
    const Ended mounted = run({"-s", "10", "-n", "2", "--read", "--require-network", "-f", "json", q(data)});
    ASSERT_EQ(mounted.status, 0) << mounted.err.toStdString();
    EXPECT_EQ(schemaProblems(mounted.out), "");
    const QJsonObject result = jsonOf(mounted.out);
    expectHonestReads(result, "smbnetfs");
    EXPECT_EQ(result["parameters"]["target_file_system"]["type"].toString(), "fuse.smbnetfs");
    EXPECT_TRUE(result["parameters"]["target_file_system"]["network"].toBool());
    EXPECT_EQ(entryCount(dataServer), 0);

    // Only gvfs can serve the address now. Every user of the machine can
    // read a process's arguments, so the password leaves them at once.
    ASSERT_TRUE(share({"smbnetfs", "off"}));
    const QString address = "smb://root:Hunter2@" + q(serverIp) + "/data";
    QStringList titles;
    const Ended typed = run({"-s", "10", "-n", "1", "--read", "-f", "jsonl", address}, [&](qint64 pid) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly))
            titles << QString::fromUtf8(cmdline.readAll().replace('\0', ' '));
        return false;
    });
    ASSERT_EQ(typed.status, 0) << typed.err.toStdString();
    const QJsonObject line = jsonOf(typed.out);
    EXPECT_EQ(line["parameters"]["target"].toString(), "smb://root@" + q(serverIp) + "/data");
    EXPECT_EQ(line["parameters"]["target_file_system"]["type"].toString(), "fuse.gvfsd-fuse");
    expectHonestReads(line, "gvfs");
    EXPECT_FALSE(typed.out.contains("Hunter2") || typed.err.contains("Hunter2"));
    // The first look may come before the program has started to run.
    const auto hidden = std::find_if(titles.begin(), titles.end(),
                                     [&](const QString& title) { return title.contains("smb://root@" + q(serverIp)); });
    ASSERT_NE(hidden, titles.end()) << titles.join('\n').toStdString();
    EXPECT_TRUE(std::none_of(hidden, titles.end(), [](const QString& title) { return title.contains("Hunter2"); }))
        << titles.join('\n').toStdString();
    EXPECT_EQ(entryCount(dataServer), 0);
    EXPECT_EQ(entryCount(tmp.path()), 0);
}

TEST_F(RealShareCli, AFullOrReadOnlyShareEndsTheRunsWithExitOneAndNoCopy)
{
    const Ended full = run({"-s", "100", q(small)});
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(full.err.contains("No space left on device")) << full.err.toStdString();
    EXPECT_EQ(entryCount(smallServer), 0);

    const Ended readOnly = run({"-s", "10", "-f", "json", q(env("SHARE_RO"))});
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_TRUE(readOnly.err.contains("Permission denied")) << readOnly.err.toStdString();
    EXPECT_EQ(jsonOf(readOnly.out)["error"].toObject()["stage"].toString(), "write");
    EXPECT_EQ(entryCount(tmp.path()), 0);
}

TEST_F(RealShareCli, ALinkCutMidCopyFailsAsUnreachableAndTheNextRunRemovesWhatItLeft)
{
    const Ended ended = runCut({});
    std::printf("with the link cut mid-copy the program ended after %.1f s\n", ended.seconds);
    EXPECT_EQ(ended.status, 1);
    EXPECT_TRUE(ended.err.contains("Input/output error")) << ended.err.toStdString();
    const QJsonObject result = jsonOf(ended.out);
    EXPECT_EQ(result["error"]["stage"].toString(), "write");
    EXPECT_EQ(result["error"]["reason"].toString(), "unreachable");
    EXPECT_EQ(result["error"]["os_error"].toInt(), EIO);
    expectTheNextRunRemoves(result);
}

// The link cut holds the copy's write in the kernel until the mount gives
// up; --timeout ends the run as a failure of its own, which says what stayed.
TEST_F(RealShareCli, ATimeoutEndsARunTheCutLinkHoldsAndSaysWhatStayed)
{
    const Ended ended = runCut({"--timeout", "4", "--stall-timeout", "20"});
    std::printf("with the link cut and --timeout 4 the program ended after %.1f s\n", ended.seconds);
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(schemaProblems(ended.out), "");
    const QJsonObject result = jsonOf(ended.out);
    EXPECT_EQ(result["error"]["stage"].toString(), "write");
    EXPECT_EQ(result["error"]["reason"].toString(), "timeout");
    const QString message = result["error"]["message"].toString();
    EXPECT_TRUE(message.startsWith("the measurement did not finish within 4 s (--timeout)")) << message.toStdString();
    EXPECT_TRUE(message.contains(q(data) + "/" + result["parameters"]["copy_name"].toString())) << message.toStdString();
    // After the stop the share is not asked again: whether the copy stayed is not known.
    EXPECT_TRUE(result["cleanup"]["remote_copy_removed"].isNull());
    expectTheNextRunRemoves(result);
}

// Slowed to 10 Mbit/s, 30 MiB take 25 s: a stop that waited for the copy
// to end would show. A copy that moves, however slowly, never stalls.
TEST_F(RealShareCli, CtrlCSigtermAndSighupStopMidCopyAndLeaveNothingOnTheServerOrHere)
{
    ASSERT_TRUE(share({"rate", "10"}));
    const Ended slow = run({"-s", "10", "-n", "1", "--stall-timeout", "2", q(data)});
    EXPECT_EQ(slow.status, 0) << slow.err.toStdString();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::chrono::steady_clock::time_point sent;
        const Ended ended = run({"-s", "30", "-n", "1", "-f", "json", q(data)}, [&](qint64 pid) {
            if (serverFileSize(dataServer) <= 0)
                return false;
            sent = std::chrono::steady_clock::now();
            ::kill(static_cast<pid_t>(pid), signal);
            return true;
        });
        const double stopping = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        std::printf("signal %d mid-copy: the program ended %.2f s later\n", signal, stopping);
        EXPECT_TRUE(ended.bySignal);
        EXPECT_EQ(ended.status, signal);
        // What the result says the program ended with is what a shell sees.
        EXPECT_EQ(jsonOf(ended.out)["exit_code"].toInt(), 128 + signal);
        EXPECT_LT(stopping, 10);
        EXPECT_EQ(ended.err, QString());
        EXPECT_EQ(entryCount(dataServer), 0);
        EXPECT_EQ(entryCount(tmp.path()), 0);
    }
}

// 30 MiB are written at 100 Mbit/s; once they are on the server the link is
// slowed to 10 Mbit/s, so the read back is still in flight when Ctrl+C comes.
TEST_F(RealShareCli, CtrlCWhileReadingBackStopsTheReadAndRemovesTheCopy)
{
    constexpr std::int64_t kSize = 30 * 1024 * 1024;
    std::chrono::steady_clock::time_point sent;
    const Ended ended = run({"-s", "30", "-n", "1", "--read", q(data)}, [&](qint64 pid) {
        if (serverFileSize(dataServer) < kSize)
            return false;
        std::this_thread::sleep_for(300ms);
        if (!share({"rate", "10"}))
            return false;
        sent = std::chrono::steady_clock::now();
        ::kill(static_cast<pid_t>(pid), SIGINT);
        return true;
    });
    const double stopping = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    std::printf("Ctrl+C mid-read: the program ended %.2f s later\n", stopping);
    EXPECT_TRUE(ended.bySignal);
    EXPECT_EQ(ended.status, SIGINT);
    EXPECT_LT(stopping, 5);
    EXPECT_TRUE(ended.out.contains(QRegularExpression(R"(^ +1 +read +interrupted$)", QRegularExpression::MultilineOption)))
        << ended.out.toStdString();
    EXPECT_EQ(entryCount(dataServer), 0);
    EXPECT_EQ(entryCount(tmp.path()), 0);
}

// When smbnetfs goes away its mount point is an empty local folder. A timer
// must not measure that disk as the share: --require-network refuses it
// before anything is written, and without it the output says what it is.
TEST_F(RealShareCli, AVanishedMountIsNoShareWithRequireNetwork)
{
    ASSERT_TRUE(share({"smbnetfs", "off"}));
    fs::create_directories(data);
    const Ended refused = run({"-s", "10", "-n", "1", "--require-network", "-f", "json", q(data)});
    EXPECT_EQ(refused.status, 1);
    const QJsonObject result = jsonOf(refused.out);
    EXPECT_EQ(result["error"]["stage"].toString(), "precheck");
    EXPECT_FALSE(result["parameters"]["target_file_system"]["network"].toBool(true));
    EXPECT_TRUE(refused.err.contains("is on a local file system")) << refused.err.toStdString();
    EXPECT_EQ(entryCount(data), 0);

    const Ended measured = run({"-s", "10", "-n", "1", "-f", "json", q(data)});
    EXPECT_EQ(measured.status, 0);
    const QJsonObject local = jsonOf(measured.out);
    EXPECT_FALSE(local["parameters"]["target_file_system"]["network"].toBool(true));
    fs::remove_all(env("SHARE_MOUNT") + "/" + serverIp);
}

// A share mounted at a folder whose path holds a backslash, with a local
// folder beside it spelled with a slash there: the address leads to the
// share, never to the lookalike. In a mount namespace of its own, where
// smbnetfs is mounted only there.
TEST_F(RealShareCli, AShareMountedAtAPathWithABackslashIsFoundThere)
{
    const testsupport::TempFolder folders;
    const std::string mountPoint = folders.path() + "/a\\b/mnt";
    const std::string lookalike = folders.path() + "/a/b/mnt/" + serverIp + "/data";
    fs::create_directories(mountPoint);
    fs::create_directories(lookalike);
    std::int64_t seenOnServer = -1;
    const Ended ended = runProgram(
        QStringLiteral("unshare"),
        {"--mount", "--propagation", "private", "--", "sh", "-c",
         "mount --bind \"$1\" \"$2\" && umount -l \"$1\" && shift 2 && exec \"$@\"", "sh", q(env("SHARE_MOUNT")),
         q(mountPoint), QStringLiteral(DOZOZEDA_CLI), "-s", "30", "-n", "1", "-f", "json", "smb://" + q(serverIp) + "/data"},
        // No gvfs: smbnetfs is to serve the address.
        {{QStringLiteral("TMPDIR"), q(tmp.path())}, {QStringLiteral("XDG_RUNTIME_DIR"), q(folders.path())}},
        [&](qint64) {
            seenOnServer = std::max(seenOnServer, serverFileSize(dataServer));
            return false;
        });
    ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
    const QJsonObject result = jsonOf(ended.out);
    EXPECT_EQ(result["parameters"]["target_file_system"]["type"].toString(), "fuse.smbnetfs");
    EXPECT_LT(result["summary"]["write"]["bytes_per_second"]["median"].toDouble(), kLinkBytesPerSecond);
    EXPECT_GT(seenOnServer, 0) << "the copy never reached the server";
    EXPECT_EQ(entryCount(lookalike), 0);
    EXPECT_EQ(entryCount(dataServer), 0);
}
