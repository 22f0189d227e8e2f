#include "Formats.h"

#include "NumberText.h"
#include "WorkloadStatistics.h"

namespace cli {

namespace {

// Every file in the collector's folder that holds a metric must give it
// the same help text, so it never depends on the run.
struct Metric {
    const char* name;
    const char* help;
};

constexpr Metric kRate{"dozozeda_rate_bytes_per_second",
                       "Rate of the last measurement's timed transfers to the target (median, min or max of its runs)."};
constexpr Metric kStarted{"dozozeda_last_run_timestamp_seconds",
                          "When the last measurement of the target started, in seconds since 1970-01-01 UTC."};
constexpr Metric kSuccess{"dozozeda_last_run_success",
                          "Whether every run of the last measurement of the target completed (1) or not (0)."};

std::string labelValue(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

std::string family(const Metric& metric)
{
    return std::string("# HELP ") + metric.name + " " + metric.help + "\n# TYPE " + metric.name + " gauge\n";
}

} // namespace

std::string prometheusMetrics(const Report& report)
{
    const std::string target = "target=\"" + labelValue(report.target) + "\",fstype=\""
        + labelValue(report.fileSystem ? report.fileSystem->type : "unknown") + "\"";
    const auto sample = [&](const Metric& metric, std::string_view direction, const std::string& more, double value) {
        return std::string(metric.name) + "{" + target + ",direction=\"" + std::string(direction) + "\"" + more
            + "} " + shortestText(value) + "\n";
    };

    std::string rates;
    std::string started;
    std::string success;
    for (const Direction direction : report.directions()) {
        const bool succeeded = report.succeeded(direction);
        const auto stats = report.statistics(direction);
        // A rate from an unfinished measurement would look like a real one.
        if (succeeded && stats) {
            for (const auto& [statistic, value] :
                 {std::pair{"median", stats->median}, std::pair{"min", stats->min}, std::pair{"max", stats->max}})
                rates += sample(kRate, name(direction), std::string(",statistic=\"") + statistic + "\"", value);
        }
        started += sample(kStarted, name(direction), "", unixSeconds(report.startedAt));
        success += sample(kSuccess, name(direction), "", succeeded ? 1 : 0);
    }
    // The tests of many small operations are directions of their own here,
    // so that an alert on a failed measurement sees them too.
    for (const Workload test : report.workloads()) {
        started += sample(kStarted, name(test), "", unixSeconds(report.startedAt));
        success += sample(kSuccess, name(test), "", workloadSucceeded(report, test) ? 1 : 0);
    }
    std::string text;
    if (!rates.empty())
        text += family(kRate) + rates;
    return text + family(kStarted) + started + family(kSuccess) + success + prometheusWorkloadMetrics(report, target);
}

} // namespace cli
