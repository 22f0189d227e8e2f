#pragma once

#include "TempFolder.h"

#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace clitest {

// How one run of the real dozozeda-cli ended.
struct Ended {
    // The exit status, or the signal that ended it when `bySignal`.
    int status = -1;
    bool bySignal = false;
    QString out;
    QString err;
    double seconds = 0;
};

// Runs the program with these arguments and extra environment, waiting for
// its end. `whileRunning`, when given, is called with the process id once
// it has started and again every 50 ms until it returns true. `inChild`
// runs in the child just before the program starts (async-signal-safe
// calls only: limits, signal dispositions, descriptors).
Ended runCli(const QStringList& args, const std::map<QString, QString>& environment = {},
             const std::function<bool(qint64 pid)>& whileRunning = {}, const std::function<void()>& inChild = {});
// The same for another program, which may start dozozeda-cli (DOZOZEDA_CLI)
// itself, in surroundings of its making.
Ended runProgram(const QString& program, const QStringList& args, const std::map<QString, QString>& environment = {},
                 const std::function<bool(qint64 pid)>& whileRunning = {}, const std::function<void()>& inChild = {});

// The JSON object of a --format json or one --format jsonl line; empty
// when it is not one.
QJsonObject jsonOf(const QString& text);

// What the documented schema (docs/dozozeda-cli.schema.json) finds wrong
// with one result, checked by python3-jsonschema; empty when nothing.
std::string schemaProblems(const QString& json);

// The records of a CSV file as Python's csv module reads them: a reader
// that is not ours, so it shares none of our mistakes.
std::vector<QStringList> csvRecords(const std::string& path);

// The values of a JSON Lines file as Python's json module reads them, one
// per line; empty when any line is not one.
std::vector<QJsonObject> jsonLines(const std::string& path);

// The body of an HTTP GET, by Python's urllib; empty when nothing answered.
std::string httpGet(const QString& url);

// A port on 127.0.0.1 that nobody listens on right now.
unsigned short freePort();

// Starts node_exporter (Debian's prometheus-node-exporter) on 127.0.0.1:port
// with only its textfile collector, reading `textfileFolder`; false when it
// did not start.
bool startNodeExporter(QProcess& exporter, unsigned short port, const std::string& textfileFolder);

// A text the tests hold as std::string, for Qt.
QString q(const std::string& text);

// An environment variable's value; empty when it is not set.
std::string env(const char* name);

// Runs tests/realshare/share.sh COMMAND on the share that run-tests.sh
// brought up (DOZOZEDA_SHARE_STATE); whether it succeeded.
bool share(const QStringList& args);

using testsupport::entryCount;

// This machine's name as the program puts it into the names of its files
// (dozozeda-<host>-<pid>.tmp): letters, digits and '-' only.
std::string hostTag();

// The id of a process that has ended, which no process has now.
long endedProcessId();

// Runs into a fresh local target folder with a temporary folder (TMPDIR) of
// their own, so that whatever a run leaves in either can be seen.
class LocalRun : public testing::Test {
protected:
    Ended run(const QStringList& args) { return runIn(target.path(), args); }
    // With another TARGET, which goes last.
    Ended runIn(const std::string& folder, const QStringList& args, const std::function<bool(qint64 pid)>& whileRunning = {})
    {
        return runCli(args + QStringList{q(folder)}, {{QStringLiteral("TMPDIR"), q(tmp.path())}}, whileRunning);
    }

    // Nothing of the run is left: no copy in the target, no test file.
    void expectNothingLeft()
    {
        EXPECT_EQ(entryCount(target.path()), 0);
        EXPECT_EQ(entryCount(tmp.path()), 0);
    }

    testsupport::TempFolder target;
    testsupport::TempFolder tmp;
};

} // namespace clitest
