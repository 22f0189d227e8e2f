// Where --output puts the result, with the real dozozeda-cli: a regular file
// replaced whole or appended to under a lock, anything else written through
// and left what it is.

#include "CliRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace clitest;
using testsupport::readFile;
using testsupport::TempFolder;

namespace {

struct stat entryAt(const std::string& path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

mode_t kindOf(const std::string& path)
{
    return entryAt(path).st_mode & S_IFMT;
}

class Output : public testing::Test {
protected:
    // One run of 10 MiB, its result to `output`.
    Ended measure(const QString& format, const std::string& output, const std::function<void()>& inChild = {})
    {
        return runCli({"-s", "10", "-n", "1", "-f", format, "-o", q(output), q(target.path())}, env, {}, inChild);
    }

    // A run whose folder is missing: it fails at once and still appends a row.
    Ended appendFailedCheck(const std::string& history, const std::function<void()>& inChild = {},
                            const std::function<bool(qint64)>& whileRunning = {})
    {
        return runCli({"-q", "-f", "csv", "-a", "-o", q(history), q(target.path()) + "/missing"}, env, whileRunning,
                      inChild);
    }

    TempFolder target;
    TempFolder tmp;
    TempFolder files;
    const std::map<QString, QString> env{{QStringLiteral("TMPDIR"), q(tmp.path())}};
};

} // namespace

TEST_F(Output, WhatIsNotARegularFileIsWrittenThroughAndStaysWhatItIs)
{
    // The reader is there first; the pipe's buffer holds the whole result.
    const std::string fifo = files.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(measure("jsonl", fifo).status, 0);
    char received[65536];
    const ssize_t length = ::read(reader, received, sizeof received);
    ::close(reader);
    EXPECT_EQ(jsonOf(QString::fromUtf8(received, std::max<ssize_t>(length, 0)))["status"].toString(), "ok");
    EXPECT_EQ(kindOf(fifo), S_IFIFO);

    // As root the devices are made here, where a rename could replace them;
    // a user cannot replace the machine's own.
    testsupport::SmallDisk disk(1);
    const std::string null = disk.available() ? disk.path() + "/null" : "/dev/null";
    const std::string full = disk.available() ? disk.path() + "/full" : "/dev/full";
    if (disk.available()) {
        ASSERT_EQ(::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    EXPECT_EQ(measure("jsonl", null).status, 0);
    const Ended toFull = measure("jsonl", full);
    EXPECT_EQ(toFull.status, 1);
    EXPECT_TRUE(toFull.err.contains(q("Cannot write '" + full + "': No space left on device"))) << toFull.err.toStdString();
    EXPECT_EQ(kindOf(null), S_IFCHR);
    EXPECT_EQ(kindOf(full), S_IFCHR);

    // Standard output redirected (>>) to a file and named through a link,
    // as /dev/stdout is: the result goes into that file after what was there.
    const std::string log = files.file("log");
    testsupport::writeFile(log, "earlier\n");
    const ino_t logInode = entryAt(log).st_ino;
    std::filesystem::create_symlink("/proc/self/fd/1", files.file("stdout"));
    EXPECT_EQ(measure("jsonl", files.file("stdout"), [path = log.c_str()] {
                  ::dup2(::open(path, O_WRONLY | O_APPEND | O_CLOEXEC), STDOUT_FILENO);
              }).status,
              0);
    EXPECT_EQ(entryAt(log).st_ino, logInode);
    const std::string logged = readFile(log);
    EXPECT_TRUE(logged.starts_with("earlier\n")) << logged;
    EXPECT_EQ(jsonOf(q(logged.substr(8)))["status"].toString(), "ok");
}

TEST_F(Output, ALinkStaysALinkAFolderIsRefusedAndAnEmptyNameIsAUsageError)
{
    const std::string results = files.file("results");
    std::filesystem::create_directories(results);
    std::filesystem::create_directories(files.file("links"));
    testsupport::writeFile(results + "/last.json", "old");
    std::filesystem::create_symlink("../results/last.json", files.file("links/last.json"));
    EXPECT_EQ(measure("json", files.file("links/last.json")).status, 0);
    EXPECT_EQ(kindOf(files.file("links/last.json")), S_IFLNK);
    EXPECT_EQ(jsonOf(q(readFile(results + "/last.json")))["status"].toString(), "ok");
    // Its temporary file went beside the target and is gone.
    EXPECT_EQ(entryCount(results), 1);

    const Ended toFolder = measure("json", results);
    EXPECT_EQ(toFolder.status, 1);
    EXPECT_EQ(toFolder.err, q("dozozeda-cli: Cannot write the result to '" + results + "': it is a folder\n"));
    EXPECT_EQ(runCli({"-o", "", q(target.path())}).status, 2);
}

// RLIMIT_FSIZE just above the history's length, with SIGXFSZ ignored,
// makes the append's write short and then fail with EFBIG.
TEST_F(Output, AFailedAppendIsCutOffAndTheNextOneStartsOnALineOfItsOwn)
{
    const std::string history = files.file("history.csv");
    appendFailedCheck(history);
    // What a run killed mid-write leaves: a row without its end.
    const std::string before = readFile(history) + "1,2026-12-07T18:3";
    testsupport::writeFile(history, before);
    const Ended failed = appendFailedCheck(history, [limit = rlim_t{before.size() + 16}] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
    });
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.contains("File too large; the file was left as it was")) << failed.err.toStdString();
    EXPECT_EQ(readFile(history), before);

    appendFailedCheck(history);
    EXPECT_TRUE(readFile(history).starts_with(before + "\r\n1,"));
    const std::vector<QStringList> records = csvRecords(history);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3].size(), records[0].size());
}

// Each process measures for real in its first round, so that all of them
// hold the new CSV history open long before the first one writes; its other
// rounds fail the folder check within milliseconds, which keeps this quick.
TEST_F(Output, ManyRunsAppendingAtOnceTakeTurnsKeepEveryRowWholeAndWriteOneHeader)
{
    constexpr int kProcesses = 8;
    constexpr int kRounds = 20;
    const std::string csv = files.file("history.csv");
    const std::string jsonl = files.file("history.jsonl");
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < kProcesses; ++i) {
        auto& process = processes.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), q(tmp.path()));
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral(R"(
"$0" -q -s 10 -n 1 -f csv -a -o "$2" "$1" || exit
for round in $(seq "$4"); do
    if [ "$round" != 1 ]; then "$0" -q -f csv -a -o "$2" "$1/missing" 2>/dev/null; [ $? = 1 ] || exit; fi
    "$0" -q -f jsonl -a -o "$3" "$1/missing" 2>/dev/null; [ $? = 1 ] || exit
done)"),
                                                   QStringLiteral(DOZOZEDA_CLI), q(target.path()), q(csv), q(jsonl),
                                                   QString::number(kRounds)});
    }
    for (const auto& process : processes) {
        ASSERT_TRUE(process->waitForFinished(300'000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    }

    const std::vector<QStringList> records = csvRecords(csv);
    ASSERT_EQ(records.size(), 1u + kProcesses * kRounds);
    EXPECT_EQ(records[0][0], "schema_version");
    const qsizetype status = records[0].indexOf("status");
    int measured = 0;
    for (std::size_t i = 1; i < records.size(); ++i) {
        ASSERT_EQ(records[i].size(), records[0].size()) << records[i].join(',').toStdString();
        measured += records[i][status] == "ok";
        EXPECT_TRUE(records[i][status] == "ok" || records[i][status] == "failed") << records[i][status].toStdString();
    }
    EXPECT_EQ(measured, kProcesses);
    const std::vector<QJsonObject> lines = jsonLines(jsonl);
    EXPECT_EQ(lines.size(), std::size_t{kProcesses * kRounds});
    for (const QJsonObject& line : lines)
        EXPECT_EQ(line["error"]["stage"].toString(), "precheck");

    // The turns are taken by a lock, which the kernel shows the run waiting for.
    const int holder = ::open(csv.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    bool waited = false;
    appendFailedCheck(csv, {}, [&](qint64 pid) {
        waited = readFile("/proc/locks").find("-> FLOCK  ADVISORY  WRITE " + std::to_string(pid) + " ")
              != std::string::npos;
        return waited && ::flock(holder, LOCK_UN) == 0;
    });
    ::close(holder);
    EXPECT_TRUE(waited);
}
