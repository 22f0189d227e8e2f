// From a cut link to an alert, with nothing in between faked: dozozeda-cli
// measures the real share that tests/realshare/run-tests.sh serves into the
// textfile folder of a real node_exporter, which a real Prometheus scrapes
// and evaluates the project's alert rules against. Cutting the link must
// make the share's "unreachable" alert fire, and restoring it must clear it.
//
// The rules are written for a measurement every 15 minutes; this test takes
// them with every duration and age divided by 100 (a minute becomes 0.6 s),
// so that their own logic runs in seconds.

#include "CliRunner.h"
#include "TempFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

using namespace clitest;

namespace {

constexpr int kTimeScale = 100;

bool share(const QString& command)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT), {command, q(env("DOZOZEDA_SHARE_STATE"))});
    return script.waitForFinished(60'000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

// The rules with `for:` durations and the ages they compare divided by
// kTimeScale.
QString scaledRules(QString rules)
{
    const auto scale = [&](const QRegularExpression& pattern, const auto& rewrite) {
        QString out;
        qsizetype at = 0;
        for (const QRegularExpressionMatch& match : pattern.globalMatch(rules)) {
            out += rules.mid(at, match.capturedStart() - at) + rewrite(match);
            at = match.capturedEnd();
        }
        rules = out + rules.mid(at);
    };
    const auto milliseconds = [](const QString& number, const QString& unit) {
        const qint64 factor = unit == "h" ? 3'600'000 : unit == "m" ? 60'000 : 1'000;
        return QString::number(number.toLongLong() * factor / kTimeScale) + "ms";
    };
    scale(QRegularExpression(R"(for: (\d+)([hms])\b)"),
          [&](const QRegularExpressionMatch& m) { return "for: " + milliseconds(m.captured(1), m.captured(2)); });
    scale(QRegularExpression(R"((_age_seconds\s*[<>]=?\s*)(\d+))"), [](const QRegularExpressionMatch& m) {
        return m.captured(1) + QString::number(m.captured(2).toLongLong() / kTimeScale);
    });
    return rules;
}

// The alerts Prometheus reports, from its own API.
QJsonArray alerts(unsigned short port)
{
    const std::string body = httpGet("http://127.0.0.1:" + QString::number(port) + "/api/v1/alerts");
    return QJsonDocument::fromJson(QByteArray::fromStdString(body))["data"]["alerts"].toArray();
}

// The share's unreachable alert as Prometheus reports it; empty when there is none.
QJsonObject unreachableAlert(const QJsonArray& all)
{
    for (const QJsonValue& alert : all) {
        if (alert["labels"]["alertname"].toString() == "DozozedaShareUnreachable"
            && alert["labels"]["target"].toString() == "nas")
            return alert.toObject();
    }
    return {};
}

} // namespace

TEST(RealShareAlert, ACutLinkFiresTheUnreachableAlertAndRestoringItClearsIt)
{
    if (env("DOZOZEDA_SHARE_STATE").empty())
        FAIL() << "no share in the environment; run this program through run-tests.sh";
    testsupport::TempFolder folders;
    const std::string collector = folders.file("collector");
    std::filesystem::create_directory(collector);
    testsupport::writeFile(folders.file("dozozeda.rules.yml"),
                           scaledRules(q(testsupport::readFile(DOZOZEDA_ALERT_RULES))).toStdString());

    const unsigned short exporterPort = freePort();
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::MergedChannels);
    exporter.setStandardOutputFile(q(folders.file("node-exporter.log")));
    ASSERT_TRUE(startNodeExporter(exporter, exporterPort, collector))
        << "install the Debian package prometheus-node-exporter";
    const unsigned short port = freePort();
    testsupport::writeFile(folders.file("prometheus.yml"),
                           "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                           "rule_files:\n  - dozozeda.rules.yml\n"
                           "scrape_configs:\n  - job_name: node\n    static_configs:\n      - targets: ['127.0.0.1:"
                               + std::to_string(exporterPort) + "']\n");
    QProcess prometheus;
    prometheus.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.setStandardOutputFile(q(folders.file("prometheus.log")));
    prometheus.start(QStringLiteral("prometheus"),
                     {"--config.file=" + q(folders.file("prometheus.yml")),
                      "--storage.tsdb.path=" + q(folders.file("data")),
                      "--web.listen-address=127.0.0.1:" + QString::number(port)});
    ASSERT_TRUE(prometheus.waitForStarted(10'000)) << "install the Debian package prometheus";
    for (int attempt = 0; attempt < 100 && httpGet("http://127.0.0.1:" + QString::number(port) + "/-/ready").empty();
         ++attempt)
        QThread::msleep(200);

    // As the packaged service measures.
    const auto measure = [&] {
        return runCli({"--format", "prometheus", "--output", q(collector + "/dozozeda-nas.prom"), "--require-network",
                       "--quiet", "--timeout", "8", "--label", "target=nas", "--size", "10", "--repeat", "1",
                       q(env("SHARE_DATA"))},
                      {{QStringLiteral("TMPDIR"), q(folders.path())}});
    };
    const auto waitFor = [&](const std::function<bool(const QJsonArray&)>& done, std::chrono::seconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        QJsonArray seen;
        while (std::chrono::steady_clock::now() < until && !done(seen = alerts(port)))
            QThread::msleep(500);
        return seen;
    };

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(measure().status, 0);
    ASSERT_TRUE(share(QStringLiteral("cut")));
    const Ended failed = measure();
    EXPECT_EQ(failed.status, 1) << failed.err.toStdString();
    const QJsonArray firing = waitFor(
        [](const QJsonArray& all) { return unreachableAlert(all)["state"].toString() == "firing"; },
        std::chrono::seconds(90));
    const QJsonObject alert = unreachableAlert(firing);
    ASSERT_EQ(alert["state"].toString(), "firing") << QJsonDocument(firing).toJson().toStdString();
    std::printf("fired %.0f s after the last success:\n%s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
                QJsonDocument(alert).toJson().constData());
    EXPECT_TRUE(QStringList({"unreachable", "timeout"}).contains(alert["labels"]["reason"].toString()));
    EXPECT_TRUE(alert["annotations"]["summary"].toString().startsWith("nas cannot be reached from 127.0.0.1:"));

    ASSERT_TRUE(share(QStringLiteral("restore")));
    const Ended mended = measure();
    EXPECT_EQ(mended.status, 0) << mended.err.toStdString();
    const QJsonArray after = waitFor([](const QJsonArray& all) { return unreachableAlert(all).isEmpty(); },
                                     std::chrono::seconds(30));
    EXPECT_TRUE(unreachableAlert(after).isEmpty()) << QJsonDocument(after).toJson().toStdString();
    std::printf("the whole test took %.0f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    prometheus.terminate();
    exporter.terminate();
    prometheus.waitForFinished(10'000);
    exporter.waitForFinished(10'000);
    if (testing::Test::HasFailure())
        std::printf("prometheus said:\n%s\n", testsupport::readFile(folders.file("prometheus.log")).c_str());
}
