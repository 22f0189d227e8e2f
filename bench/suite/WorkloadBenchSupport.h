#pragma once

#include <QJsonObject>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace workloadbench {

double median(std::vector<double> values);

// A program run to its end: its status, standard output and the most
// memory it held (peak resident set, from wait4).
struct Child {
    int status = -1;
    std::string out;
    long peakKiB = 0;
};
Child run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment = {});

// dozozeda-cli (`program`) with these arguments and --format=json, its
// temporary folder `tmp`; the result, or nothing (said on standard error).
std::optional<QJsonObject> runCli(const std::string& program, std::vector<std::string> args, const std::string& tmp,
                                  long* peakKiB = nullptr);

// A phase's operations per second in a result of the files test.
double phaseRate(const QJsonObject& result, const char* phase);
// The median write (or read) rate of a result, in bytes per second.
double largeRate(const QJsonObject& result, const char* test);

// Files per second of fio creating `files` files of `bytes` in a new folder
// `folder`, one open at a time, each flushed as it is closed; the files go
// again afterwards, outside its time. Nothing when fio failed.
std::optional<double> fioFilesPerSecond(const std::string& folder, int files, long bytes);

// The same with the plainest loop of the same calls: open(O_CREAT|O_EXCL),
// write, fsync, close, timed from the first open to the last close.
std::optional<double> loopFilesPerSecond(const std::string& folder, int files, long bytes);

// Removes a folder and what is in it.
void removeAll(const std::string& folder);

int fail(const std::string& what);

} // namespace workloadbench
