#pragma once

#include "FailureReason.h"
#include "FileSystemKind.h"
#include "Intervals.h"
#include "Latencies.h"
#include "Statistics.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

enum class Direction { Write, Read };
// "write" or "read", as every format names them.
std::string_view name(Direction direction);

// One direction of one run.
struct RunResult {
    enum class Status { Ok, Failed, Interrupted };

    Direction direction = Direction::Write;
    // Counted from 1 over warm-up and measured runs alike.
    int run = 0;
    bool warmup = false;
    Status status = Status::Ok;
    std::int64_t bytes = 0;
    double seconds = 0;
    // Reads only: how this machine's cache was kept out of the figure, and
    // how much of the file it held just before the read (when known).
    std::string cacheBypass;
    std::optional<double> residentBefore;
    // Whether the read may have come from this machine's memory.
    bool cacheSuspect = false;
    std::string error;
    // Why it failed; empty when it did not (or was interrupted).
    std::string reason;
    // The bytes per interval (with --interval), all streams together; a
    // write's last entry is its flush.
    std::vector<measure::Interval> intervals;
    // Each stream's own figures, when there were several.
    struct Stream {
        std::int64_t bytes = 0;
        // From the first stream's start.
        double startSeconds = 0;
        double seconds = 0;
    };
    std::vector<Stream> streams;

    double bytesPerSecond() const { return static_cast<double>(bytes) / seconds; }
};

std::string_view name(RunResult::Status status);

// The tests of many small operations.
enum class Workload { SmallFiles, FolderTree };
// "files" or "folders", as every format names them.
std::string_view name(Workload workload);

// One phase of such a test in one run (see measure::PhaseTiming).
struct PhaseResult {
    std::string phase;
    std::int64_t operations = 0;
    std::optional<std::int64_t> bytes;
    double seconds = 0;
    measure::LatencySummary latency;
    // Reading: as RunResult's.
    std::string cacheBypass;
    bool cacheSuspect = false;
    // Answered from this machine's memory rather than by the server.
    bool clientCacheSuspect = false;

    double operationsPerSecond() const { return static_cast<double>(operations) / seconds; }
    std::optional<double> bytesPerSecond() const;
};

// One run of a test of many small operations, phase by phase.
struct WorkloadRun {
    Workload test = Workload::SmallFiles;
    int run = 0;
    bool warmup = false;
    RunResult::Status status = RunResult::Status::Ok;
    std::vector<PhaseResult> phases;
    std::string error;
    // Why it failed, as RunResult's.
    std::string reason;
};

// How an invocation ended, most serious last.
enum class Outcome { Ok, CopyLeft, Failed, Interrupted };

std::string_view name(Outcome outcome);

// What one invocation did, from which every format is written. Every text
// in it that came from the command line or from an error has been through
// platform::withoutPassword, and is UTF-8 (validUtf8).
struct Report {
    struct Failure {
        // "precheck", "write", "read" or "cleanup".
        std::string stage;
        std::string message;
        Cause cause;
    };

    std::string version;
    std::string host;
    std::string os;
    std::chrono::system_clock::time_point startedAt;
    std::chrono::system_clock::time_point finishedAt;
    // From start to end on a clock no time change moves.
    std::chrono::nanoseconds duration{};

    std::string target;
    // The administrator's own names for the target (--label KEY=VALUE), in
    // the order given.
    std::vector<std::pair<std::string, std::string>> labels;
    // What the target lies on; nothing when it could not be told (the
    // target was not found).
    std::optional<platform::FileSystemKind> fileSystem;
    // The name the copy has in the target folder.
    std::string copyName;
    std::int64_t fileBytes = 0;
    int repeats = 0;
    int warmups = 0;
    bool read = false;
    std::string pattern;
    // --timeout and --stall-timeout, in seconds; no --timeout: nothing.
    std::optional<int> timeoutSeconds;
    int stallSeconds = 0;
    // The tests beside the large write (see Options), and their sizes.
    bool write = true;
    bool smallFiles = false;
    bool folderTree = false;
    std::int64_t files = 0;
    std::int64_t smallFileBytes = 0;
    std::int64_t folders = 0;
    // What every name the run makes in the target starts with (CopyName.h).
    std::string namePrefix;
    // 0: no intervals.
    double intervalSeconds = 0;
    int streams = 1;

    std::vector<RunResult> runs;
    std::vector<WorkloadRun> workloadRuns;
    Outcome outcome = Outcome::Ok;
    std::optional<Failure> failure;
    // Nothing when it could not be told (the share stopped answering).
    std::optional<bool> copyRemoved = true;
    bool localFileRemoved = true;
    // What earlier runs of this machine had left behind and this one removed.
    std::vector<std::string> staleRemoved;
    // The status the program ends with when interrupted: 128 + the signal's
    // number on POSIX (130, 143, 129), 130 on Windows.
    int interruptedStatus = 130;
    // When a measurement of this target last measured every run, in seconds
    // since 1970: this one's end when it did, else what the previous result
    // said; nothing when none ever has (that is known).
    std::optional<double> lastSuccess;

    // The directions of the large test; none without it.
    std::vector<Direction> directions() const;
    // The tests of many small operations that were asked for.
    std::vector<Workload> workloads() const;
    // The measured runs of a direction that completed; warm-ups left out.
    std::optional<RateStatistics> statistics(Direction direction) const;
    // Whether every run of the direction that was asked for completed.
    bool succeeded(Direction direction) const;
    // Whether every run of every direction did.
    bool measuredAll() const;
    // Records a failure unless a more serious one is already there.
    void fail(Outcome how, std::string stage, std::string message, Cause cause = {});
    // 0, 1, 3 or interruptedStatus.
    int exitCode() const;
};

// Every run of the report in the order it was done: a run's write and read,
// then its tests of many small operations.
void forEachRun(const Report& report, const std::function<void(const RunResult&)>& large,
                const std::function<void(const WorkloadRun&)>& small);

// RFC 3339 in UTC with milliseconds: 2026-08-21T09:15:02.123Z.
std::string utcTimestamp(std::chrono::system_clock::time_point time);
double unixSeconds(std::chrono::system_clock::time_point time);

} // namespace cli
