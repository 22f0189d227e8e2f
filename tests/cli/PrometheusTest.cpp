// --format prometheus as a monitoring system reads it: promtool accepts it,
// and node_exporter's textfile collector serves it over HTTP.

#include "CliRunner.h"
#include "FileSystemKind.h"
#include "TempFolder.h"

#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace clitest;
using testsupport::TempFolder;

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

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

// A port on 127.0.0.1 that nobody listens on right now.
unsigned short freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// As the program names it: the type of the mount the folder lies in.
std::string fileSystemType(const std::string& folder)
{
    return platform::fileSystemOf(platform::ResolvedPath::fromSystem(folder)).type;
}

} // namespace

TEST(Prometheus, TheMetricsPassPromtoolAndNodeExporterServesThemByTarget)
{
    TempFolder folders;
    // A target whose name needs escaping in a label: a quote, and a
    // backslash, which on Linux is part of a name.
    const std::string target = folders.path() + "/we\"ird\\name";
    const std::string collector = folders.path() + "/collector";
    std::filesystem::create_directories(target);
    std::filesystem::create_directory(collector);
    const std::string metrics = collector + "/dozozeda.prom";

    const Ended ok = runCli({"-s", "10", "-n", "2", "-f", "prometheus", "-o", q(metrics), q(target)});
    ASSERT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QString());
    // Only the file itself: the temporary one it was written as is gone.
    EXPECT_EQ(entryCount(collector), 1);
    EXPECT_EQ(promtoolProblems(metrics), "");

    const unsigned short port = freePort();
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::ForwardedChannels);
    exporter.start(QStringLiteral("prometheus-node-exporter"),
                   {QStringLiteral("--web.listen-address=127.0.0.1:") + QString::number(port),
                    QStringLiteral("--collector.disable-defaults"), QStringLiteral("--collector.textfile"),
                    QStringLiteral("--collector.textfile.directory=") + q(collector)});
    ASSERT_TRUE(exporter.waitForStarted(10'000)) << "install the Debian package prometheus-node-exporter";
    const QString metricsUrl = "http://127.0.0.1:" + QString::number(port) + "/metrics";
    std::string served;
    for (int attempt = 0; attempt < 50 && served.empty(); ++attempt) {
        QThread::msleep(100);
        served = httpGet(metricsUrl);
    }
    const std::string label = "target=\"" + folders.path() + "/we\\\"ird\\\\name\"";
    // The target's file system is a label too, between the others.
    const std::string fileSystem = "fstype=\"" + fileSystemType(folders.path()) + "\",";
    for (const char* statistic : {"median", "min", "max"})
        EXPECT_NE(served.find("dozozeda_rate_bytes_per_second{direction=\"write\"," + fileSystem + "statistic=\""
                              + std::string(statistic) + "\"," + label + "}"),
                  std::string::npos)
            << served;
    EXPECT_NE(served.find("dozozeda_last_run_success{direction=\"write\"," + fileSystem + label + "} 1"),
              std::string::npos);
    EXPECT_NE(served.find("node_textfile_scrape_error 0"), std::string::npos);

    // A failed measurement says so, without a rate that would look real.
    std::filesystem::remove(target);
    const Ended failed = runCli({"-s", "10", "-f", "prometheus", "-o", q(metrics), q(target)});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(promtoolProblems(metrics), "");
    served = httpGet(metricsUrl);
    exporter.terminate();
    exporter.waitForFinished(5'000);
    EXPECT_NE(served.find("dozozeda_last_run_success{direction=\"write\",fstype=\"unknown\"," + label + "} 0"),
              std::string::npos)
        << served;
    EXPECT_EQ(served.find("dozozeda_rate_bytes_per_second"), std::string::npos);
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
