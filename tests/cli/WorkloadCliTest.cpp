// The suite as dozozeda-cli runs it into a local folder: every test in the
// order asked for, each format carrying all of it in base units, and
// nothing left in the target or the temporary folder.

#include "CliRunner.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using namespace clitest;

namespace {

class Suite : public LocalRun {};

} // namespace

TEST_F(Suite, JsonHasEveryTestOfEveryRunInOrderWithIntervalsThatAddUpAndEachStream)
{
    const Ended ended = run({"--suite", "-n", "2", "--warmup", "1", "-s", "10", "--files", "40", "--file-size", "3K",
                             "--folders", "30", "--streams", "3", "--interval", "0.1", "-f", "json"});
    ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
    EXPECT_EQ(schemaProblems(ended.out), "");
    const QJsonObject result = jsonOf(ended.out);
    EXPECT_EQ(result["parameters"]["tests"].toArray().toVariantList(),
              QVariantList({"write", "read", "files", "folders"}));
    const QJsonArray runs = result["runs"].toArray();
    ASSERT_EQ(runs.size(), 12);
    for (int i = 0; i < runs.size(); ++i) {
        const QJsonObject run = runs[i].toObject();
        EXPECT_EQ(run["run"].toInt(), i / 4 + 1);
        EXPECT_EQ(run["test"].toString(), QStringList({"write", "read", "files", "folders"})[i % 4]);
        if (i % 4 < 2) {
            // The intervals of all streams add up to the run's bytes; a
            // write ends with its flush.
            double bytes = 0;
            const QJsonArray intervals = run["intervals"].toArray();
            for (const QJsonValue& interval : intervals)
                bytes += interval["bytes"].toDouble();
            EXPECT_EQ(bytes, 3 * 10 * 1048576.0);
            EXPECT_EQ(intervals.last()["flush"].toBool(), i % 4 == 0);
            EXPECT_EQ(run["streams"].toArray().size(), 3);
            continue;
        }
        const QJsonArray phases = run["phases"].toArray();
        ASSERT_EQ(phases.size(), i % 4 == 2 ? 5 : 3);
        for (const QJsonValue& phase : phases) {
            EXPECT_EQ(phase["operations"].toInt(), i % 4 == 2 ? 40 : 30) << phase["phase"].toString().toStdString();
            EXPECT_LE(phase["latency_seconds"]["p50"].toDouble(), phase["latency_seconds"]["max"].toDouble());
        }
        if (i % 4 == 2) {
            EXPECT_EQ(phases[0]["bytes"].toInt(), 40 * 3072);
        }
    }
    EXPECT_EQ(result["summary"]["files"]["runs"].toInt(), 2);
    EXPECT_EQ(result["summary"]["folders"]["phases"].toArray().size(), 3);
    expectNothingLeft();

    // Without the large test nothing is copied, and its figures are absent.
    const Ended files = run({"--tests=files", "-n", "1", "--files", "5", "--file-size", "0", "-f", "jsonl"});
    ASSERT_EQ(files.status, 0) << files.err.toStdString();
    EXPECT_EQ(schemaProblems(files.out), "");
    const QJsonObject alone = jsonOf(files.out);
    EXPECT_FALSE(alone["summary"].toObject().contains("write"));
    EXPECT_TRUE(alone["runs"][0]["phases"][0]["bytes_per_second"].isNull());
    expectNothingLeft();
}

TEST_F(Suite, CsvGivesEachPhaseARowAndTextATable)
{
    const std::string history = tmp.file("history.csv");
    const Ended ended =
        run({"--tests=write,files", "-n", "1", "-s", "10", "--files", "8", "--streams", "2", "-f", "csv", "-o", q(history)});
    ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
    const std::vector<QStringList> records = csvRecords(history);
    ASSERT_EQ(records.size(), 7u);
    const QStringList& header = records[0];
    for (const QStringList& record : records)
        EXPECT_EQ(record.size(), header.size());
    // The older columns stay where they were.
    EXPECT_EQ(header.indexOf("test"), 6);
    EXPECT_EQ(header.indexOf("target_file_system"), 17);
    const auto field = [&](std::size_t row, const char* column) { return records[row][header.indexOf(column)]; };
    EXPECT_EQ(field(1, "test"), "write");
    EXPECT_EQ(field(1, "streams").split(' ').size(), 2);
    EXPECT_FALSE(field(1, "flush_seconds").isEmpty());
    for (std::size_t row = 2; row < 7; ++row) {
        EXPECT_EQ(field(row, "test"), "files");
        EXPECT_EQ(field(row, "operations"), "8");
        EXPECT_FALSE(field(row, "latency_p99_seconds").isEmpty());
    }
    EXPECT_EQ(field(2, "phase"), "create");
    EXPECT_EQ(field(2, "bytes"), QString::number(8 * 65536));
    EXPECT_EQ(field(3, "bytes_per_second"), "");
    std::filesystem::remove(history);

    const Ended text = run({"--tests=files,folders", "-n", "1", "--files", "8", "--folders", "12"});
    ASSERT_EQ(text.status, 0) << text.err.toStdString();
    for (const char* line : {R"(^ run  files +files/s +MiB/s +Mbit/s +p50 ms +p99 ms$)",
                             R"(^ +1  create +[0-9.]+ +[0-9.]+ +[0-9.]+ +[0-9.]+ +[0-9.]+$)",
                             R"(^ +1  read .* (fadvise_dontneed|o_direct)$)", R"(^ run  folders +folders/s)",
                             R"(^folders: |; folders: create)"})
        EXPECT_TRUE(text.out.contains(QRegularExpression(line, QRegularExpression::MultilineOption)))
            << line << "\n"
            << text.out.toStdString();
    expectNothingLeft();
}

// A run killed in the files test leaves its folder; the next run of this
// machine removes it, and a killed run's tree and second stream's copy, but
// not a tree that holds a file of someone else's.
TEST_F(Suite, WhatAKilledRunsTestsLeftIsRemovedByTheNextButNotAnothersFile)
{
    const Ended killed =
        runIn(target.path(), {"--tests=files", "--files=1000000", "--file-size=0", "-n", "1"}, [&](qint64 pid) {
            for (const auto& entry : std::filesystem::directory_iterator(target.path())) {
                if (entry.path().extension() == ".files" && entryCount(entry.path().string()) > 10)
                    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
            }
            return false;
        });
    ASSERT_TRUE(killed.bySignal);
    ASSERT_EQ(entryCount(target.path()), 1);

    // A process that has ended.
    const std::string gone = "dozozeda-" + hostTag() + "-" + std::to_string(endedProcessId());
    std::filesystem::create_directories(target.file(gone + ".folders/d0/d3"));
    testsupport::writeFile(target.file(gone + ".s2.tmp"), "");
    // A process id no system hands out here.
    const std::string theirs = target.file("dozozeda-" + hostTag() + "-4000001.folders");
    std::filesystem::create_directories(theirs + "/d0");
    testsupport::writeFile(theirs + "/d0/theirs.txt", "theirs");

    const Ended next = run({"--tests=files", "--files=3", "-n", "1", "-f", "json"});
    ASSERT_EQ(next.status, 0) << next.err.toStdString();
    const QJsonObject result = jsonOf(next.out);
    EXPECT_EQ(result["cleanup"]["stale_removed"].toArray().size(), 3) << next.out.toStdString();
    EXPECT_EQ(entryCount(target.path()), 1);
    EXPECT_EQ(testsupport::readFile(theirs + "/d0/theirs.txt"), "theirs");
}
