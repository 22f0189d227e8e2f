// Runs that a stop cannot end within a block: the target's writes are held
// in the kernel (a frozen file system, as a share that stopped answering
// holds them), so only the time limits and a second signal can end them,
// and each must say what it leaves where.

#include "CliRunner.h"
#include "TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace clitest;
using namespace std::chrono_literals;
using testsupport::TempFolder;

namespace {

// An ext4 file system on a loop device of its own. Frozen (fsfreeze), every
// call that would change it waits in the kernel, where no signal reaches it,
// until it is thawed. Needs root.
class FrozenDisk {
public:
    FrozenDisk()
    {
        const std::string image = m_folder.file("disk.img");
        std::filesystem::create_directory(path());
        m_mounted = ::geteuid() == 0
            && std::system(("truncate -s 32M '" + image + "' && mkfs.ext4 -q '" + image + "' && mount -o loop '"
                            + image + "' '" + path() + "' 2>/dev/null")
                               .c_str())
                == 0;
    }
    FrozenDisk(const FrozenDisk&) = delete;
    FrozenDisk& operator=(const FrozenDisk&) = delete;
    ~FrozenDisk()
    {
        if (!m_mounted)
            return;
        thaw();
        std::system(("umount '" + path() + "'").c_str());
    }

    bool available() const { return m_mounted; }
    std::string path() const { return m_folder.file("mnt"); }
    bool freeze() { return std::system(("fsfreeze --freeze '" + path() + "'").c_str()) == 0; }
    void thaw() { std::system(("fsfreeze --unfreeze '" + path() + "' 2>/dev/null").c_str()); }

private:
    TempFolder m_folder;
    bool m_mounted = false;
};

class Stop : public testing::Test {
protected:
    void SetUp() override
    {
        if (!disk.available())
            GTEST_SKIP() << "needs root, a loop device and mkfs.ext4 to hold writes in the kernel";
        ASSERT_TRUE(disk.freeze());
    }

    // Nothing is left once the disk lets go and the next run has cleaned up.
    void expectCleanedUpByTheNextRun()
    {
        disk.thaw();
        const Ended next = run({"-s", "10", "-n", "1", "-f", "json"});
        ASSERT_EQ(next.status, 0) << next.err.toStdString();
        EXPECT_EQ(entryCount(disk.path()), 1) << "lost+found only";
        EXPECT_EQ(entryCount(tmp.path()), 0);
        EXPECT_EQ(entryCount(results.path()), 1) << "the result only";
    }

    Ended run(QStringList args, const std::function<bool(qint64)>& whileRunning = {})
    {
        return runCli(args << "-o" << q(result) << q(disk.path()), {{QStringLiteral("TMPDIR"), q(tmp.path())}},
                      whileRunning);
    }

    FrozenDisk disk;
    TempFolder tmp;
    TempFolder results;
    const std::string result = results.file("result.json");
};

} // namespace

// The stop a limit asks for cannot end a call the kernel holds: the program
// reports without it once the stall time has passed again, and names what
// stays. It ends as soon as the system lets it.
TEST_F(Stop, ALimitThatRunsOutDuringACallTheSystemHoldsEndsTheRunAndSaysWhatStays)
{
    for (const auto& [limits, reason] : {std::pair{QStringList{"--timeout", "1", "--stall-timeout", "2"}, "timeout"},
                                         std::pair{QStringList{"--stall-timeout", "1"}, "stalled"}}) {
        std::filesystem::remove(result);
        bool reported = false;
        const auto giveUp = std::chrono::steady_clock::now() + 60s;
        const Ended ended = run(QStringList{"-s", "10", "-n", "1", "-f", "json"} + limits, [&](qint64) {
            // The result is there while the program still waits in the kernel.
            reported = QFile::exists(q(result));
            if (!reported && std::chrono::steady_clock::now() < giveUp)
                return false;
            disk.thaw();
            return true;
        });
        ASSERT_TRUE(reported) << reason << ": " << ended.err.toStdString();
        EXPECT_EQ(ended.status, 1) << reason;
        EXPECT_FALSE(ended.bySignal);
        const QJsonObject json = jsonOf(q(testsupport::readFile(result)));
        EXPECT_EQ(schemaProblems(q(testsupport::readFile(result))), "");
        EXPECT_EQ(json["error"]["stage"].toString(), "write") << reason;
        EXPECT_EQ(json["error"]["reason"].toString(), reason);
        const QString message = json["error"]["message"].toString();
        const QString copy = json["parameters"]["copy_name"].toString();
        EXPECT_TRUE(message.contains("the copy '" + q(disk.path()) + "/" + copy + "' on the share"))
            << message.toStdString();
        EXPECT_TRUE(message.contains("the local test file '" + q(tmp.path()) + "/dozozeda-cli-"))
            << message.toStdString();
        EXPECT_TRUE(json["cleanup"]["remote_copy_removed"].isNull());
        EXPECT_FALSE(json["cleanup"]["local_file_removed"].toBool(true));
        EXPECT_TRUE(ended.err.contains(message)) << ended.err.toStdString();
        expectCleanedUpByTheNextRun();
        ASSERT_TRUE(disk.freeze());
    }
}

// Held in the kernel, the run cannot act on the first signal; the second
// ends it at once, saying what it leaves where.
TEST_F(Stop, ASecondSignalEndsTheRunAtOnceAndSaysWhatStaysWhere)
{
    const Ended ended = run({"-s", "10", "-n", "1", "-f", "json"}, [&](qint64 pid) {
        if (!std::filesystem::exists(disk.path() + "/lost+found"))
            return false;
        std::this_thread::sleep_for(500ms);
        ::kill(static_cast<pid_t>(pid), SIGINT);
        std::this_thread::sleep_for(200ms);
        ::kill(static_cast<pid_t>(pid), SIGINT);
        std::this_thread::sleep_for(300ms);
        disk.thaw();
        return true;
    });
    EXPECT_TRUE(ended.bySignal);
    EXPECT_EQ(ended.status, SIGINT);
    EXPECT_TRUE(ended.err.startsWith("dozozeda-cli: stopped at once by a second signal; left behind: "))
        << ended.err.toStdString();
    EXPECT_TRUE(ended.err.contains("the local test file '" + q(tmp.path()) + "/dozozeda-cli-")) << ended.err.toStdString();
    EXPECT_TRUE(ended.err.contains("' on the share")) << ended.err.toStdString();
    EXPECT_TRUE(ended.err.contains("the unfinished result '" + q(result) + ".tmp-")) << ended.err.toStdString();
    expectCleanedUpByTheNextRun();
}

// What the JSON says the program ended with is what the shell sees: 128 and
// the signal's number. A stop a person asked for stays an interruption when
// a time limit runs out while the kernel holds the run, which then ends by
// that signal without waiting for it.
TEST_F(Stop, TheExitCodeInTheResultIsTheStatusTheShellSees)
{
    for (const auto& [signal, held] : {std::pair{SIGTERM, true}, std::pair{SIGHUP, false}}) {
        std::filesystem::remove(result);
        const QStringList limits = held ? QStringList{"--timeout", "1", "--stall-timeout", "1"} : QStringList{};
        const auto giveUp = std::chrono::steady_clock::now() + 60s;
        bool sent = false;
        const Ended ended = run(QStringList{"-s", "10", "-n", "1", "-f", "json"} + limits, [&](qint64 pid) {
            if (!sent) {
                std::this_thread::sleep_for(500ms);
                sent = ::kill(static_cast<pid_t>(pid), signal) == 0;
            }
            if (held && !QFile::exists(q(result)) && std::chrono::steady_clock::now() < giveUp)
                return false;
            disk.thaw();
            return true;
        });
        EXPECT_TRUE(ended.bySignal) << signal;
        EXPECT_EQ(ended.status, signal);
        const QString text = q(testsupport::readFile(result));
        EXPECT_EQ(schemaProblems(text), "");
        const QJsonObject json = jsonOf(text);
        EXPECT_EQ(json["status"].toString(), "interrupted");
        EXPECT_EQ(json["exit_code"].toInt(), 128 + signal);
        if (held)
            EXPECT_TRUE(json["error"]["message"].toString().startsWith(
                "interrupted; the measurement did not finish within 1 s (--timeout)"))
                << text.toStdString();
        else
            EXPECT_EQ(entryCount(tmp.path()), 0);
        expectCleanedUpByTheNextRun();
        ASSERT_TRUE(disk.freeze());
    }
}
