#include "Formats.h"

#include "NumberText.h"

#include <cstdio>

namespace cli {

namespace {

constexpr double kMebibyte = 1024.0 * 1024.0;

struct RateUnit {
    const char* name;
    double bytes;
};

RateUnit firstUnit(Units units)
{
    return units == Units::Binary ? RateUnit{"MiB/s", kMebibyte} : RateUnit{"MB/s", 1e6};
}

double megabits(double bytesPerSecond)
{
    return bytesPerSecond * 8 / 1e6;
}

std::string padLeft(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string padRight(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string runCount(int runs, const char* what)
{
    return std::to_string(runs) + " " + what + (runs == 1 ? "" : "s");
}

} // namespace

std::string textHeader(const Report& report, Units units)
{
    const RateUnit unit = firstUnit(units);
    std::string text = "dozozeda-cli " + report.version + " on " + report.host + ", " + utcTimestamp(report.startedAt)
        + "\ntarget " + report.target;
    if (report.fileSystem)
        text += " (" + report.fileSystem->type + ", a " + (report.fileSystem->network ? "network" : "local")
            + " file system)";
    text += "\n";
    text += runCount(report.repeats, "run");
    if (report.warmups > 0)
        text += " after " + runCount(report.warmups, "warm-up run");
    if (report.write) {
        text += " of " + fixedText(static_cast<double>(report.fileBytes) / kMebibyte, 0) + " MiB of " + report.pattern
            + " data, each " + (report.read ? "written, read back" : "written") + " and removed";
        if (report.streams > 1)
            text += ", " + std::to_string(report.streams) + " copies at once";
    }
    text += "\n" + textWorkloadHeader(report);
    if (units == Units::Binary)
        text += "MiB/s = 2^20 bytes per second (the window's \"MB/sec\")";
    else
        text += "MB/s = 10^6 bytes per second";
    text += "; Mbit/s = 10^6 bits per second\n";
    if (report.read)
        text += "reads bypass this machine's cache; the server's own cache is not controlled\n";
    if (!report.write)
        return text;
    return text + "\n run  test      seconds " + padLeft(unit.name, 12) + "       Mbit/s\n";
}

std::string textRunColumns(const RunResult& run, const Report& report, Units units)
{
    // The header has them for the first run; a later one follows another table.
    if (run.direction != Direction::Write || run.run == 1 || report.workloads().empty())
        return {};
    return "\n run  test      seconds " + padLeft(firstUnit(units).name, 12) + "       Mbit/s\n";
}

std::string textRunLine(const RunResult& run, Units units)
{
    std::string line = padLeft(std::to_string(run.run), 4) + "  " + padRight(std::string(name(run.direction)), 6);
    if (run.status != RunResult::Status::Ok)
        return line + "  " + std::string(name(run.status)) + "\n";
    const double rate = run.bytesPerSecond();
    line += padLeft(fixedText(run.seconds, 3), 11) + padLeft(fixedText(rate / firstUnit(units).bytes, 2), 13)
        + padLeft(fixedText(megabits(rate), 2), 13);
    if (run.warmup)
        line += "  warm-up";
    if (run.direction == Direction::Read)
        line += "  " + run.cacheBypass + (run.cacheSuspect ? " (may be from this machine's cache)" : "");
    return line + "\n";
}

std::string textSummary(const Report& report, Units units)
{
    const RateUnit unit = firstUnit(units);
    std::string text;
    if (report.write) {
        text += "\n" + std::string(13, ' ');
        for (const char* column : {"median", "min", "max", "mean", "aggregate", "stdev"})
            text += padLeft(column, 11);
        text += "\n";
    }
    std::string headline;
    for (const Direction direction : report.directions()) {
        const std::string label = padRight(std::string(name(direction)), 6);
        const auto stats = report.statistics(direction);
        if (!stats) {
            text += label + " no measured run\n";
            continue;
        }
        const auto figures = [&](const char* unitName, double (*convert)(double, double), double divisor) {
            std::string line = padLeft(unitName, 6);
            for (const double value : {stats->median, stats->min, stats->max, stats->mean, stats->aggregate})
                line += padLeft(fixedText(convert(value, divisor), 2), 11);
            line += padLeft(stats->stdev ? fixedText(convert(*stats->stdev, divisor), 2) : "-", 11);
            return line + "\n";
        };
        const auto perUnit = [](double value, double divisor) { return value / divisor; };
        const auto perMegabit = [](double value, double) { return megabits(value); };
        text += label + " " + figures(unit.name, perUnit, unit.bytes);
        text += std::string(7, ' ') + figures("Mbit/s", perMegabit, 0);
        headline += (headline.empty() ? "" : ", ") + std::string(name(direction)) + " "
            + fixedText(stats->median / unit.bytes, 2) + " " + unit.name + " (" + fixedText(megabits(stats->median), 2)
            + " Mbit/s)";
    }
    if (report.write)
        text += "median and the others over the measured runs; aggregate = total bytes / total seconds; stdev = sample "
                "standard deviation\n";
    text += textWorkloadSummary(report, units);
    if (const std::string more = textWorkloadHeadline(report); !more.empty())
        headline += (headline.empty() ? "" : "; ") + more;
    if (!headline.empty())
        text += "\n" + headline + (report.repeats == 1 ? "\n" : ": medians of " + runCount(report.repeats, "run") + "\n");
    return text;
}

} // namespace cli
