#pragma once

#include "FileSystemKind.h"
#include "Statistics.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

    double bytesPerSecond() const { return static_cast<double>(bytes) / seconds; }
};

std::string_view name(RunResult::Status status);

// How an invocation ended, most serious last.
enum class Outcome { Ok, CopyLeft, Failed, Interrupted };

std::string_view name(Outcome outcome);
int exitCode(Outcome outcome);

// What one invocation did, from which every format is written. Every text
// in it that came from the command line or from an error has been through
// platform::withoutPassword.
struct Report {
    struct Failure {
        // "precheck", "write", "read" or "cleanup".
        std::string stage;
        std::string message;
    };

    std::string version;
    std::string host;
    std::string os;
    std::chrono::system_clock::time_point startedAt;
    std::chrono::system_clock::time_point finishedAt;

    std::string target;
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

    std::vector<RunResult> runs;
    Outcome outcome = Outcome::Ok;
    std::optional<Failure> failure;
    // Nothing when it could not be told (the share stopped answering).
    std::optional<bool> copyRemoved = true;
    bool localFileRemoved = true;

    std::vector<Direction> directions() const;
    // The measured runs of a direction that completed; warm-ups left out.
    std::optional<RateStatistics> statistics(Direction direction) const;
    // Whether every run of the direction that was asked for completed.
    bool succeeded(Direction direction) const;
    // Records a failure unless a more serious one is already there.
    void fail(Outcome how, std::string stage, std::string message);
};

// RFC 3339 in UTC with milliseconds: 2026-08-21T09:15:02.123Z.
std::string utcTimestamp(std::chrono::system_clock::time_point time);
double unixSeconds(std::chrono::system_clock::time_point time);

} // namespace cli
