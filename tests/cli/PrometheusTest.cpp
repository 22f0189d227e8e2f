// --format prometheus as a monitoring system reads it: promtool accepts it,
// and node_exporter's textfile collector serves it over HTTP.

#include "CliRunner.h"
#include "DozozedaVersion.h"
#include "FileSystemKind.h"
#include "TempFolder.h"

#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sstream>

using namespace clitest;
using testsupport::TempFolder;

namespace {

// Whether promtool's check (format and naming conventions) passes; its
// complaint otherwise.
std::string promtoolProblems(const std::string& metricsFile)
{
    QProcess promtool;
    promtool.setStandardInputFile(q(metricsFile));
    promtool.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    if (!promtool.waitForFinished(30'000))
        return "promtool did not run (install the Debian package prometheus)";
    if (promtool.exitStatus() == QProcess::NormalExit && promtool.exitCode() == 0)
        return {};
    return (promtool.readAllStandardOutput() + promtool.readAllStandardError()).toStdString();
}

// As the program names it: the type of the mount the folder lies in.
std::string fileSystemType(const std::string& folder)
{
    return platform::fileSystemOf(platform::ResolvedPath::fromSystem(folder)).type;
}

// The value of the one sample of `metric` in an exposition that carries
// every label given (key="value", escaped), in whatever order; nothing when
// there is none.
std::optional<std::string> sample(const std::string& exposition, const std::string& metric,
                                  std::initializer_list<std::string> labels)
{
    std::istringstream lines(exposition);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(metric + "{"))
            continue;
        const std::size_t end = line.rfind("} ");
        const std::string set = line.substr(0, end);
        bool all = end != std::string::npos;
        for (const std::string& label : labels)
            all = all && (set.find("{" + label + ",") != std::string::npos || set.find("," + label + ",") != std::string::npos
                          || set.ends_with("," + label) || set.ends_with("{" + label));
        if (all)
            return line.substr(end + 2);
    }
    return std::nullopt;
}

} // namespace

TEST(Prometheus, NodeExporterServesEveryTargetByItsLabelsAndAFailureKeepsTheLastSuccess)
{
    TempFolder folders;
    // A name that needs escaping in a label (a quote, a backslash, which on
    // Linux is part of a name) and holds a byte that is no UTF-8, which the
    // exposition format may not carry.
    const std::string target = folders.path() + "/we\"ird\\name\xff";
    const std::string collector = folders.path() + "/collector";
    std::filesystem::create_directories(target);
    std::filesystem::create_directory(collector);
    const std::string metrics = collector + "/dozozeda.prom";
    // The byte goes to the program as it is, past Qt's text.
    const auto measure = [&](const char* folder) {
        return runProgram(QStringLiteral("/bin/sh"),
                          {"-c", R"sh(exec "$0" -s 10 -n 2 -f prometheus -o "$1" --label site=berlin "$2$(printf "$3")")sh",
                           QStringLiteral(DOZOZEDA_CLI), q(metrics), q(folders.path()), folder});
    };

    const Ended ok = measure("/we\"ird\\\\name\\377");
    ASSERT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QString());
    // Only the file itself: the temporary one it was written as is gone.
    EXPECT_EQ(entryCount(collector), 1);
    EXPECT_EQ(promtoolProblems(metrics), "");

    const unsigned short port = freePort();
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::ForwardedChannels);
    ASSERT_TRUE(startNodeExporter(exporter, port, collector)) << "install the Debian package prometheus-node-exporter";
    const QString metricsUrl = "http://127.0.0.1:" + QString::number(port) + "/metrics";
    std::string served;
    for (int attempt = 0; attempt < 50 && served.empty(); ++attempt) {
        QThread::msleep(100);
        served = httpGet(metricsUrl);
    }
    EXPECT_NE(served.find("node_textfile_scrape_error 0"), std::string::npos) << served;
    const std::string label = "target=\"" + folders.path() + "/we\\\"ird\\\\name\xEF\xBF\xBD\"";
    const std::string fileSystem = "fstype=\"" + fileSystemType(folders.path()) + "\"";
    for (const char* statistic : {"median", "min", "max"})
        EXPECT_TRUE(sample(served, "dozozeda_rate_bytes_per_second",
                           {label, fileSystem, "site=\"berlin\"", "direction=\"write\"",
                            "statistic=\"" + std::string(statistic) + "\""}))
            << served;
    EXPECT_EQ(sample(served, "dozozeda_last_run_success", {label, "direction=\"write\""}), "1");
    EXPECT_EQ(sample(served, "dozozeda_build_info", {label, "version=\"" DOZOZEDA_VERSION_TEXT "\"", "os=\"linux\""}), "1");
    EXPECT_EQ(sample(served, "dozozeda_last_run_exit_code", {label}), "0");
    EXPECT_EQ(sample(served, "dozozeda_copy_left_on_share", {label}), "0");
    EXPECT_EQ(sample(served, "dozozeda_last_run_failure", {label}), std::nullopt);
    const std::string lastSuccess = sample(served, "dozozeda_last_success_timestamp_seconds", {label}).value_or("");
    EXPECT_EQ(sample(served, "dozozeda_last_run_end_timestamp_seconds", {label}), lastSuccess);
    EXPECT_GT(std::stod(sample(served, "dozozeda_last_run_duration_seconds", {label}).value_or("0")), 0);

    // A failed measurement says where and why, without a rate that would
    // look real, and still says when the target was last measured whole.
    std::filesystem::remove(target);
    const Ended failed = measure("/we\"ird\\\\name\\377");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(promtoolProblems(metrics), "");
    served = httpGet(metricsUrl);
    exporter.terminate();
    exporter.waitForFinished(5'000);
    EXPECT_EQ(sample(served, "dozozeda_last_run_success", {label, "fstype=\"unknown\"", "direction=\"write\""}), "0")
        << served;
    EXPECT_EQ(sample(served, "dozozeda_last_run_failure", {label, "stage=\"precheck\"", "reason=\"not_found\""}), "1");
    EXPECT_EQ(sample(served, "dozozeda_last_run_exit_code", {label}), "1");
    EXPECT_EQ(sample(served, "dozozeda_last_success_timestamp_seconds", {label}), lastSuccess);
    EXPECT_NE(sample(served, "dozozeda_last_run_end_timestamp_seconds", {label}), lastSuccess);
    EXPECT_EQ(served.find("dozozeda_rate_bytes_per_second"), std::string::npos);
}

// A full share, a read-only one and one that will not let the copy go each
// say so in their own words; a measurement whose copy stayed has every rate
// and still says it failed to clean up.
TEST(Prometheus, EachWayAShareRefusesTheCopyIsToldApart)
{
    testsupport::SmallDisk full(5);
    testsupport::SmallDisk readOnly(5, true);
    if (!full.available() || !readOnly.available())
        GTEST_SKIP() << "needs root to mount small tmpfs disks";
    TempFolder folders;
    const std::string metrics = folders.file("dozozeda.prom");
    const auto measure = [&](const std::string& target) {
        const Ended ended = runCli({"-s", "10", "-n", "1", "-f", "prometheus", "-o", q(metrics), q(target)},
                                   {{QStringLiteral("TMPDIR"), q(folders.path())}});
        EXPECT_EQ(promtoolProblems(metrics), "");
        return std::pair(ended, testsupport::readFile(metrics));
    };

    for (const auto& [disk, reason] : {std::pair{&full, "no_space"}, std::pair{&readOnly, "read_only"}}) {
        const auto [refused, text] = measure(disk->path());
        EXPECT_EQ(refused.status, 1) << reason;
        const std::string failure = "reason=\"" + std::string(reason) + "\"";
        EXPECT_EQ(sample(text, "dozozeda_last_run_failure", {"stage=\"write\"", failure}), "1") << text;
        EXPECT_EQ(sample(text, "dozozeda_copy_left_on_share", {}), "0") << reason;
    }
    const Ended json = runCli({"-s", "10", "-f", "json", q(full.path())}, {{QStringLiteral("TMPDIR"), q(folders.path())}});
    const QJsonObject error = jsonOf(json.out)["error"].toObject();
    EXPECT_EQ(error["reason"].toString(), "no_space");
    EXPECT_EQ(error["os_error"].toInt(), ENOSPC);

    // An append-only folder takes new files but lets none be removed.
    const std::string appendOnly = folders.file("append-only");
    std::filesystem::create_directory(appendOnly);
    if (std::system(("chattr +a '" + appendOnly + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs a file system with chattr +a";
    const auto [left, leftMetrics] = measure(appendOnly);
    std::system(("chattr -a '" + appendOnly + "'").c_str());
    EXPECT_EQ(left.status, 3);
    EXPECT_EQ(sample(leftMetrics, "dozozeda_last_run_exit_code", {}), "3") << leftMetrics;
    EXPECT_EQ(sample(leftMetrics, "dozozeda_copy_left_on_share", {}), "1");
    EXPECT_EQ(sample(leftMetrics, "dozozeda_last_run_success", {}), "1");
    EXPECT_TRUE(sample(leftMetrics, "dozozeda_rate_bytes_per_second", {"statistic=\"median\""}));
    EXPECT_EQ(sample(leftMetrics, "dozozeda_last_run_failure", {"stage=\"cleanup\"", "reason=\"permission\""}), "1");
}

// The figures of the small files, the folders and the streams under the
// exposition format's names, units and conventions.
TEST(Prometheus, TheWorkloadFiguresPassPromtool)
{
    TempFolder folders;
    const std::string metrics = folders.file("dozozeda.prom");
    const Ended ended = runCli({"--suite", "-n", "1", "-s", "10", "--files", "10", "--folders", "10", "--streams", "2",
                                "-f", "prometheus", "-o", q(metrics), q(folders.path())});
    ASSERT_EQ(ended.status, 0) << ended.err.toStdString();
    EXPECT_EQ(promtoolProblems(metrics), "");
    const std::string text = testsupport::readFile(metrics);
    for (const char* sample : {"dozozeda_small_files_per_second{", ",phase=\"create\"} ",
                               "dozozeda_folders_per_second{", "dozozeda_streams{",
                               ",test=\"files\",phase=\"stat\",quantile=\"0.99\"} ",
                               "dozozeda_operation_latency_seconds_count{", ",direction=\"folders\"} 1\n"})
        EXPECT_NE(text.find(sample), std::string::npos) << sample << "\n" << text;
}
