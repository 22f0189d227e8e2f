#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace clibench {

double median(std::vector<double> values);

// dozozeda-cli with these arguments and --format json; its result, or
// nothing when it failed (said on standard error).
std::optional<QJsonObject> runCli(const QStringList& args, const QString& temporaryFolder);

// The median rate of one direction ("write" or "read") of a result.
double medianRate(const QJsonObject& result, const QString& direction);

// How the first read of a result kept this machine's cache out.
QString readMethod(const QJsonObject& result);

// dd with these operands and LC_ALL=C; the bytes per second it reports for
// itself (from after its files were opened to after the flush), or nothing.
std::optional<double> ddRate(const QStringList& operands);

// Seconds since some point, for timing whole processes.
double now();

// Says why the benchmark stopped; returns the exit status for main().
int fail(const QString& what);

} // namespace clibench
