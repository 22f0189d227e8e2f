#include "CliBenchSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace clibench {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::optional<QJsonObject> runCli(const QStringList& args, const QString& temporaryFolder)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporaryFolder);
    cli.setProcessEnvironment(environment);
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.start(QStringLiteral(DOZOZEDA_CLI), QStringList{QStringLiteral("--format=json")} + args);
    if (!cli.waitForFinished(-1) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        return std::nullopt;
    return QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
}

double medianRate(const QJsonObject& result, const QString& direction)
{
    return result[QStringLiteral("summary")][direction][QStringLiteral("bytes_per_second")][QStringLiteral("median")]
        .toDouble();
}

QString readMethod(const QJsonObject& result)
{
    for (const QJsonValue& run : result[QStringLiteral("runs")].toArray()) {
        if (run[QStringLiteral("test")].toString() == QStringLiteral("read"))
            return run[QStringLiteral("cache_bypass")].toString();
    }
    return {};
}

std::optional<double> ddRate(const QStringList& operands)
{
    QProcess dd;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    dd.setProcessEnvironment(environment);
    dd.start(QStringLiteral("dd"), operands);
    if (!dd.waitForFinished(-1) || dd.exitStatus() != QProcess::NormalExit || dd.exitCode() != 0) {
        std::fprintf(stderr, "%s", dd.readAllStandardError().constData());
        return std::nullopt;
    }
    const auto match = QRegularExpression(QStringLiteral(R"(^([0-9]+) bytes .* copied, ([0-9.e-]+) s,)"),
                                          QRegularExpression::MultilineOption)
                           .match(QString::fromLocal8Bit(dd.readAllStandardError()));
    if (!match.hasMatch() || match.captured(2).toDouble() <= 0)
        return std::nullopt;
    return match.captured(1).toDouble() / match.captured(2).toDouble();
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int fail(const QString& what)
{
    std::fprintf(stderr, "benchmark stopped: %s\n", qPrintable(what));
    return 1;
}

} // namespace clibench
