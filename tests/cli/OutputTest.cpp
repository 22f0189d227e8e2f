// Where --output puts the result, with the real dozozeda-cli: a regular file
// replaced whole or appended to under a lock, anything else written through
// and left what it is, and histories that stay whole.

#include "CliRunner.h"
#include "TempFolder.h"

#include <QProcess>

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

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

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
    // One run of 10 MiB into the target folder, its result to `output`.
    Ended measure(const QString& format, const std::string& output, const std::function<void()>& inChild = {})
    {
        return runCli({"-s", "10", "-n", "1", "-f", format, "-o", q(output), q(target.path())}, environment(), {},
                      inChild);
    }

    // A run whose folder is missing: it fails at once and still appends a row.
    Ended appendFailedCheck(const std::string& history, const std::function<void()>& inChild = {})
    {
        return runCli({"-q", "-f", "csv", "-a", "-o", q(history), q(target.path()) + "/missing"}, environment(), {},
                      inChild);
    }

    std::map<QString, QString> environment() const { return {{QStringLiteral("TMPDIR"), q(tmp.path())}}; }

    TempFolder target;
    TempFolder tmp;
    TempFolder files;
};

} // namespace

TEST_F(Output, WhatIsNotARegularFileIsWrittenThroughAndStaysWhatItIs)
{
    // The reader is there first, as the pipe's buffer takes the whole result.
    const std::string fifo = files.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const Ended toFifo = measure("jsonl", fifo);
    char received[65536];
    const ssize_t length = ::read(reader, received, sizeof received);
    ::close(reader);
    EXPECT_EQ(toFifo.status, 0) << toFifo.err.toStdString();
    EXPECT_EQ(jsonOf(QString::fromUtf8(received, std::max<ssize_t>(length, 0)))["status"].toString(), "ok");
    EXPECT_EQ(kindOf(fifo), S_IFIFO);

    // As root the devices are made here, where a rename could replace them;
    // a user cannot replace the machine's own.
    testsupport::SmallDisk disk(1);
    std::string null = "/dev/null";
    std::string full = "/dev/full";
    if (disk.available()) {
        null = disk.path() + "/null";
        full = disk.path() + "/full";
        ASSERT_EQ(::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    EXPECT_EQ(measure("jsonl", null).status, 0);
    EXPECT_EQ(kindOf(null), S_IFCHR);
    const Ended toFull = measure("jsonl", full);
    EXPECT_EQ(toFull.status, 1);
    EXPECT_TRUE(toFull.err.contains(q("Cannot write '" + full + "': No space left on device"))) << toFull.err.toStdString();
    EXPECT_EQ(kindOf(full), S_IFCHR);

    // Standard output redirected to a file (>>), named through a link as
    // /dev/stdout is: the result goes after what was there, into that file.
    const std::string log = files.file("log");
    testsupport::writeFile(log, "earlier\n");
    const ino_t logInode = entryAt(log).st_ino;
    std::filesystem::create_symlink("/proc/self/fd/1", files.file("stdout"));
    const Ended toStdout = measure("jsonl", files.file("stdout"), [path = log.c_str()] {
        const int fd = ::open(path, O_WRONLY | O_APPEND);
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    });
    EXPECT_EQ(toStdout.status, 0) << toStdout.err.toStdString();
    EXPECT_EQ(entryAt(log).st_ino, logInode);
    const std::string logged = readFile(log);
    EXPECT_TRUE(logged.starts_with("earlier\n{")) << logged;
    EXPECT_EQ(jsonOf(q(logged.substr(8)))["status"].toString(), "ok");
    EXPECT_EQ(kindOf(files.file("stdout")), S_IFLNK);
}

TEST_F(Output, ALinkStaysALinkAFolderIsRefusedAndAnEmptyNameIsAUsageError)
{
    const std::string results = files.file("results");
    std::filesystem::create_directory(results);
    std::filesystem::create_directory(files.file("links"));
    testsupport::writeFile(results + "/last.json", "old");
    std::filesystem::create_symlink("../results/last.json", files.file("links/last.json"));
    const Ended throughLink = measure("json", files.file("links/last.json"));
    EXPECT_EQ(throughLink.status, 0) << throughLink.err.toStdString();
    EXPECT_EQ(kindOf(files.file("links/last.json")), S_IFLNK);
    EXPECT_EQ(jsonOf(q(readFile(results + "/last.json")))["status"].toString(), "ok");
    // The temporary file went beside the target and is gone.
    EXPECT_EQ(entryCount(results), 1);
    EXPECT_EQ(entryCount(files.file("links")), 1);

    // Refused before anything is measured.
    const Ended toFolder = measure("json", results);
    EXPECT_EQ(toFolder.status, 1);
    EXPECT_EQ(toFolder.err, q("dozozeda-cli: Cannot write the result to '" + results + "': it is a folder\n"));
    EXPECT_EQ(entryCount(results), 1);

    EXPECT_EQ(runCli({"-o", "", q(target.path())}).status, 2);
}

// RLIMIT_FSIZE just above the history's length makes the append's write
// short, and the next one fail with EFBIG (SIGXFSZ ignored).
TEST_F(Output, AFailedAppendIsCutOffAndTheNextOneStartsOnALineOfItsOwn)
{
    const std::string history = files.file("history.csv");
    appendFailedCheck(history);
    // What a run killed mid-write leaves: a row without its end.
    std::string before = readFile(history) + "1,2026-12-07T18:3";
    testsupport::writeFile(history, before);

    const rlim_t limit = before.size() + 16;
    const Ended failed = appendFailedCheck(history, [limit] {
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
    EXPECT_EQ(records[2], QStringList({"1", "2026-12-07T18:3"}));
    EXPECT_EQ(records[3].size(), records[0].size());
    EXPECT_EQ(records[3][records[0].indexOf("test")], "precheck");
}

// Eight processes append twenty rounds each to a CSV and a JSON Lines
// history. In its first round each measures for real, so all of them hold
// the new CSV history open for many milliseconds before the first one
// writes; the other rounds fail the folder check within a few milliseconds,
// which keeps the test quick and the appends dense.
TEST_F(Output, ManyRunsAppendingAtOnceTakeTurnsKeepEveryRowWholeAndWriteOneHeader)
{
    constexpr int kProcesses = 8;
    constexpr int kRounds = 20;
    const QString script = QStringLiteral(R"(cli=$1 target=$2 csv=$3 jsonl=$4 rounds=$5
"$cli" -q -s 10 -n 1 -f csv -a -o "$csv" "$target" || exit
for round in $(seq "$rounds"); do
    if [ "$round" != 1 ]; then
        "$cli" -q -f csv -a -o "$csv" "$target/missing" 2>/dev/null; [ $? = 1 ] || exit
    fi
    "$cli" -q -f jsonl -a -o "$jsonl" "$target/missing" 2>/dev/null; [ $? = 1 ] || exit
done
)");
    const std::string csv = files.file("history.csv");
    const std::string jsonl = files.file("history.jsonl");
    QProcessEnvironment withTmpdir = QProcessEnvironment::systemEnvironment();
    withTmpdir.insert(QStringLiteral("TMPDIR"), q(tmp.path()));
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < kProcesses; ++i) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->setProcessEnvironment(withTmpdir);
        processes.back()->start(QStringLiteral("/bin/sh"),
                                {QStringLiteral("-c"), script, QStringLiteral("sh"), QStringLiteral(DOZOZEDA_CLI),
                                 q(target.path()), q(csv), q(jsonl), QString::number(kRounds)});
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
        ASSERT_EQ(records[i].size(), records[0].size()) << "row " << i << ": " << records[i].join(',').toStdString();
        measured += records[i][status] == "ok";
        EXPECT_TRUE(records[i][status] == "ok" || records[i][status] == "failed") << records[i][status].toStdString();
    }
    EXPECT_EQ(measured, kProcesses);

    const std::vector<QJsonObject> lines = jsonLines(jsonl);
    EXPECT_EQ(lines.size(), std::size_t{kProcesses * kRounds});
    for (const QJsonObject& line : lines)
        EXPECT_EQ(line["error"]["stage"].toString(), "precheck");
    EXPECT_EQ(entryCount(target.path()), 0);

    // The turns are taken by a lock, which the kernel shows it waiting for.
    const int holder = ::open(csv.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    bool waited = false;
    runCli({"-q", "-f", "csv", "-a", "-o", q(csv), q(target.path()) + "/missing"}, environment(), [&](qint64 pid) {
        waited = readFile("/proc/locks").find("-> FLOCK  ADVISORY  WRITE " + std::to_string(pid) + " ")
              != std::string::npos;
        if (waited)
            ::flock(holder, LOCK_UN);
        return waited;
    });
    ::close(holder);
    EXPECT_TRUE(waited);
    EXPECT_EQ(csvRecords(csv).size(), 2u + kProcesses * kRounds);
}
