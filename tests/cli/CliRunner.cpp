#include "CliRunner.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QVariant>
#include <QThread>

#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace clitest {

Ended runCli(const QStringList& args, const std::map<QString, QString>& environment,
             const std::function<bool(qint64 pid)>& whileRunning, const std::function<void()>& inChild)
{
    return runProgram(QStringLiteral(DOZOZEDA_CLI), args, environment, whileRunning, inChild);
}

Ended runProgram(const QString& program, const QStringList& args, const std::map<QString, QString>& environment,
                 const std::function<bool(qint64 pid)>& whileRunning, const std::function<void()>& inChild)
{
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        env.insert(name, value);
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    Ended ended;
    if (!process.waitForStarted(10'000)) {
        ended.err = QStringLiteral("did not start");
        return ended;
    }
    if (whileRunning) {
        while (process.state() == QProcess::Running && !whileRunning(process.processId()))
            process.waitForFinished(50);
    }
    // Qt answers false for a process that has finished already.
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(180'000)) {
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

std::string hostTag()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return QString::fromUtf8(name).left(63).replace(QRegularExpression("[^A-Za-z0-9-]"), "_").toStdString();
}

long endedProcessId()
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    return ended;
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool share(const QStringList& args)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT), QStringList{args[0], q(env("DOZOZEDA_SHARE_STATE"))} + args.mid(1));
    return script.waitForFinished(60'000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

QJsonObject jsonOf(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

namespace {

struct PythonResult {
    bool ok = false;
    QByteArray out;
    QString err;
};

PythonResult python(const QString& script, const QStringList& args, const QByteArray& input = {})
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    python.write(input);
    python.closeWriteChannel();
    PythonResult result;
    result.ok = python.waitForFinished(30'000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
    result.out = python.readAllStandardOutput();
    result.err = QString::fromUtf8(python.readAllStandardError()).right(600);
    return result;
}

} // namespace

std::string schemaProblems(const QString& json)
{
    const PythonResult result = python(QStringLiteral("import json, sys, jsonschema\n"
                                                      "schema = json.load(open(sys.argv[1]))\n"
                                                      "jsonschema.Draft202012Validator.check_schema(schema)\n"
                                                      "jsonschema.Draft202012Validator(schema).validate(json.load(sys.stdin))\n"),
                                       {QStringLiteral(DOZOZEDA_CLI_SCHEMA)}, json.toUtf8());
    return result.ok ? std::string() : "python3 with jsonschema (python3-jsonschema): " + result.err.toStdString();
}

std::vector<QStringList> csvRecords(const std::string& path)
{
    const PythonResult result = python(QStringLiteral("import csv, json, sys\n"
                                                      "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='')))))"),
                                       {QString::fromStdString(path)});
    std::vector<QStringList> records;
    for (const QJsonValue& record : QJsonDocument::fromJson(result.out).array())
        records.push_back(record.toVariant().toStringList());
    return records;
}

std::vector<QJsonObject> jsonLines(const std::string& path)
{
    const PythonResult result = python(QStringLiteral("import json, sys\n"
                                                      "lines = open(sys.argv[1], newline='').read().split('\\n')\n"
                                                      "print(json.dumps([json.loads(x) for x in lines if x]))"),
                                       {QString::fromStdString(path)});
    std::vector<QJsonObject> values;
    for (const QJsonValue& value : QJsonDocument::fromJson(result.out).array())
        values.push_back(value.toObject());
    return values;
}

std::string httpGet(const QString& url)
{
    return python(QStringLiteral("import sys, urllib.request\n"
                                 "sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=5).read().decode())"),
                  {url})
        .out.toStdString();
}

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

bool startNodeExporter(QProcess& exporter, unsigned short port, const std::string& textfileFolder)
{
    exporter.start(QStringLiteral("prometheus-node-exporter"),
                   {QStringLiteral("--web.listen-address=127.0.0.1:") + QString::number(port),
                    QStringLiteral("--collector.disable-defaults"), QStringLiteral("--collector.textfile"),
                    QStringLiteral("--collector.textfile.directory=") + QString::fromStdString(textfileFolder)});
    return exporter.waitForStarted(10'000);
}

} // namespace clitest
