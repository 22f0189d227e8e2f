#include "Report.h"

#include "ShareAddress.h"
#include "Utf8Text.h"

#include <cstdio>

namespace cli {

std::string_view name(Direction direction)
{
    return direction == Direction::Write ? "write" : "read";
}

std::string_view name(RunResult::Status status)
{
    switch (status) {
    case RunResult::Status::Ok:
        return "ok";
    case RunResult::Status::Failed:
        return "failed";
    case RunResult::Status::Interrupted:
        break;
    }
    return "interrupted";
}

std::string_view name(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
        return "ok";
    case Outcome::CopyLeft:
        return "copy_left";
    case Outcome::Failed:
        return "failed";
    case Outcome::Interrupted:
        break;
    }
    return "interrupted";
}


std::string_view name(Workload workload)
{
    return workload == Workload::SmallFiles ? "files" : "folders";
}

std::optional<double> PhaseResult::bytesPerSecond() const
{
    if (!bytes)
        return std::nullopt;
    return static_cast<double>(*bytes) / seconds;
}

std::vector<Direction> Report::directions() const
{
    if (!write)
        return {};
    if (read)
        return {Direction::Write, Direction::Read};
    return {Direction::Write};
}

std::vector<Workload> Report::workloads() const
{
    std::vector<Workload> tests;
    if (smallFiles)
        tests.push_back(Workload::SmallFiles);
    if (folderTree)
        tests.push_back(Workload::FolderTree);
    return tests;
}

std::optional<RateStatistics> Report::statistics(Direction direction) const
{
    std::vector<Sample> samples;
    for (const RunResult& run : runs) {
        if (run.direction == direction && !run.warmup && run.status == RunResult::Status::Ok)
            samples.push_back({run.bytes, run.seconds});
    }
    return summarize(samples);
}

bool Report::succeeded(Direction direction) const
{
    if (outcome == Outcome::Failed || outcome == Outcome::Interrupted)
        return false;
    const auto stats = statistics(direction);
    return stats && stats->runs == repeats;
}

bool Report::measuredAll() const
{
    for (const Direction direction : directions()) {
        if (!succeeded(direction))
            return false;
    }
    return true;
}

void Report::fail(Outcome how, std::string stage, std::string message, Cause cause)
{
    if (failure && how <= outcome)
        return;
    outcome = how;
    failure = Failure{std::move(stage), validUtf8(platform::withoutPassword(message)), cause};
}

int Report::exitCode() const
{
    switch (outcome) {
    case Outcome::Ok:
        return 0;
    case Outcome::CopyLeft:
        return 3;
    case Outcome::Failed:
        return 1;
    case Outcome::Interrupted:
        break;
    }
    return interruptedStatus;
}

void forEachRun(const Report& report, const std::function<void(const RunResult&)>& large,
                const std::function<void(const WorkloadRun&)>& small)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < report.runs.size() || j < report.workloadRuns.size()) {
        const bool largeFirst = i < report.runs.size()
            && (j == report.workloadRuns.size() || report.runs[i].run <= report.workloadRuns[j].run);
        if (largeFirst)
            large(report.runs[i++]);
        else
            small(report.workloadRuns[j++]);
    }
}

std::string utcTimestamp(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto milliseconds = floor<std::chrono::milliseconds>(time);
    const auto day = floor<days>(milliseconds);
    const year_month_day date(day);
    const hh_mm_ss clock(milliseconds - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

double unixSeconds(std::chrono::system_clock::time_point time)
{
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

} // namespace cli
