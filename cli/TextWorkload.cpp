#include "Formats.h"

#include "NumberText.h"
#include "WorkloadStatistics.h"

#include <algorithm>

namespace cli {

namespace {

constexpr double kMebibyte = 1024.0 * 1024.0;
// More intervals than this are shown in groups, so a line stays a line.
constexpr std::size_t kMaxShownIntervals = 40;

struct RateUnit {
    const char* name;
    double bytes;
};

RateUnit firstUnit(Units units)
{
    return units == Units::Binary ? RateUnit{"MiB/s", kMebibyte} : RateUnit{"MB/s", 1e6};
}

std::string padLeft(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string padRight(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// Rates with three figures or so, whatever the link.
std::string rateText(double value)
{
    return fixedText(value, value >= 100 ? 0 : value >= 10 ? 1 : 2);
}

std::string milliseconds(double seconds)
{
    return fixedText(seconds * 1000, 3);
}

std::string sizeText(std::int64_t bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string unitOf(Workload test)
{
    return test == Workload::SmallFiles ? "files/s" : "folders/s";
}

std::string note(const PhaseResult& phase)
{
    if (phase.clientCacheSuspect)
        return "  from this machine's cache";
    if (!phase.cacheBypass.empty())
        return "  " + phase.cacheBypass + (phase.cacheSuspect ? " (may be from this machine's cache)" : "");
    return {};
}

std::string figures(double operationsPerSecond, std::optional<double> bytesPerSecond, const RateUnit& unit)
{
    std::string line = padLeft(rateText(operationsPerSecond), 12);
    if (bytesPerSecond)
        line += padLeft(fixedText(*bytesPerSecond / unit.bytes, 2), 11)
            + padLeft(fixedText(*bytesPerSecond * 8 / 1e6, 2), 11);
    else
        line += padLeft("-", 11) + padLeft("-", 11);
    return line;
}

} // namespace

std::string textWorkloadHeader(const Report& report)
{
    std::string text;
    if (report.smallFiles)
        text += "each run: " + std::to_string(report.files) + " files of " + sizeText(report.smallFileBytes)
            + " created (written and flushed one by one), listed, looked up, read back and deleted\n";
    if (report.folderTree)
        text += "each run: a tree of " + std::to_string(report.folders)
            + " folders (ten in each) created, listed and deleted\n";
    if (!text.empty())
        text += "p50, p99 = the time of one operation that half, 99 % of them took no longer than\n";
    return text;
}

std::string textRunDetails(const RunResult& run, const Report& report, Units units)
{
    if (run.status != RunResult::Status::Ok)
        return {};
    const RateUnit unit = firstUnit(units);
    std::string text;
    if (!run.intervals.empty()) {
        const bool flushed = run.intervals.back().flush;
        const std::size_t data = run.intervals.size() - (flushed ? 1 : 0);
        const std::size_t group = (data + kMaxShownIntervals - 1) / kMaxShownIntervals;
        const double span = report.intervalSeconds * static_cast<double>(group);
        text += std::string(10, ' ') + unit.name + " per " + shortestText(span) + " s:";
        for (std::size_t first = 0; first < data; first += group) {
            std::int64_t bytes = 0;
            double seconds = 0;
            for (std::size_t i = first; i < std::min(first + group, data); ++i) {
                bytes += run.intervals[i].bytes;
                seconds += run.intervals[i].seconds;
            }
            text += " " + rateText(seconds > 0 ? static_cast<double>(bytes) / seconds / unit.bytes : 0);
        }
        if (flushed)
            text += "; flush " + fixedText(run.intervals.back().seconds, 3) + " s";
        text += "\n";
    }
    if (!run.streams.empty()) {
        text += std::string(10, ' ') + std::to_string(run.streams.size()) + " streams, " + unit.name + " each:";
        for (const RunResult::Stream& stream : run.streams)
            text += " " + rateText(static_cast<double>(stream.bytes) / stream.seconds / unit.bytes);
        text += "\n";
    }
    return text;
}

std::string textWorkloadRun(const WorkloadRun& run, Units units)
{
    const RateUnit unit = firstUnit(units);
    const std::string number = padLeft(std::to_string(run.run), 4) + "  ";
    std::string text = "\n run  " + padRight(std::string(name(run.test)), 10) + padLeft(unitOf(run.test), 12)
        + padLeft(unit.name, 11) + padLeft("Mbit/s", 11) + padLeft("p50 ms", 11) + padLeft("p99 ms", 11) + "\n";
    if (run.status != RunResult::Status::Ok)
        return text + number + padRight(std::string(name(run.test)), 10) + "  " + std::string(name(run.status)) + "\n";
    for (const PhaseResult& phase : run.phases) {
        text += number + padRight(phase.phase, 10) + figures(phase.operationsPerSecond(), phase.bytesPerSecond(), unit)
            + padLeft(milliseconds(phase.latency.p50), 11) + padLeft(milliseconds(phase.latency.p99), 11) + note(phase);
        if (run.warmup)
            text += "  warm-up";
        text += "\n";
    }
    return text;
}

std::string textWorkloadSummary(const Report& report, Units units)
{
    const RateUnit unit = firstUnit(units);
    std::string text;
    for (const Workload test : report.workloads()) {
        const std::vector<PhaseStatistics> phases = workloadStatistics(report, test);
        text += "\n" + padRight(std::string(name(test)), 10) + padLeft(unitOf(test), 12) + padLeft("min", 10)
            + padLeft("max", 10) + padLeft(unit.name, 10) + padLeft("p50 ms", 11) + padLeft("p90 ms", 11)
            + padLeft("p99 ms", 11) + padLeft("max ms", 11) + "\n";
        if (phases.empty()) {
            text += "no measured run\n";
            continue;
        }
        for (const PhaseStatistics& phase : phases) {
            text += padRight(phase.phase, 10) + padLeft(rateText(phase.operations.median), 12)
                + padLeft(rateText(phase.operations.min), 10) + padLeft(rateText(phase.operations.max), 10)
                + padLeft(phase.bytes ? fixedText(phase.bytes->median / unit.bytes, 2) : "-", 10)
                + padLeft(milliseconds(phase.latency.p50), 11) + padLeft(milliseconds(phase.latency.p90), 11)
                + padLeft(milliseconds(phase.latency.p99), 11) + padLeft(milliseconds(phase.latency.max), 11)
                + (phase.clientCacheSuspect ? "  from this machine's cache" : "") + "\n";
        }
    }
    if (!text.empty())
        text += "rates: median, min and max over the measured runs; p50, p90, p99: the median of the runs' own; "
                "max: the longest of all\n";
    return text;
}

std::string textWorkloadHeadline(const Report& report)
{
    std::string text;
    for (const Workload test : report.workloads()) {
        const std::vector<PhaseStatistics> phases = workloadStatistics(report, test);
        if (phases.empty())
            continue;
        text += (text.empty() ? "" : "; ") + std::string(name(test)) + ":";
        for (std::size_t i = 0; i < phases.size(); ++i)
            text += std::string(i ? ", " : " ") + phases[i].phase + " " + rateText(phases[i].operations.median);
        text += " " + unitOf(test);
    }
    return text;
}

} // namespace cli
