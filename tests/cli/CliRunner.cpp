#include "CliRunner.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThread>

#include <filesystem>

namespace clitest {

Ended runCli(const QStringList& args, const std::map<QString, QString>& environment,
             const std::function<bool(qint64 pid)>& whileRunning)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        env.insert(name, value);
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(DOZOZEDA_CLI), args);
    Ended ended;
    if (!process.waitForStarted(10'000)) {
        ended.err = QStringLiteral("did not start");
        return ended;
    }
    if (whileRunning) {
        while (process.state() == QProcess::Running && !whileRunning(process.processId()))
            process.waitForFinished(50);
    }
    if (!process.waitForFinished(180'000)) {
        process.kill();
        process.waitForFinished();
        ended.err = QStringLiteral("did not end within three minutes");
        return ended;
    }
    ended.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    ended.bySignal = process.exitStatus() == QProcess::CrashExit;
    // Qt gives the signal's number as the exit code of a process it ended.
    ended.status = process.exitCode();
    ended.out = QString::fromUtf8(process.readAllStandardOutput());
    ended.err = QString::fromUtf8(process.readAllStandardError());
    return ended;
}

QJsonObject jsonOf(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

std::string schemaProblems(const QString& json)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import json, sys, jsonschema\n"
                                                       "schema = json.load(open(sys.argv[1]))\n"
                                                       "jsonschema.Draft202012Validator.check_schema(schema)\n"
                                                       "jsonschema.Draft202012Validator(schema).validate(json.load(sys.stdin))\n"),
                  QStringLiteral(DOZOZEDA_CLI_SCHEMA)});
    python.write(json.toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(30'000))
        return "python3 did not answer";
    if (python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0)
        return {};
    return "python3 -c 'import jsonschema' (install python3-jsonschema): "
        + QString::fromUtf8(python.readAllStandardError()).right(600).toStdString();
}

int entryCount(const std::string& folder)
{
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error))
        ++count;
    return error ? -1 : count;
}

} // namespace clitest
