#include "Formats.h"

#include "NumberText.h"
#include "Utf8Text.h"

#include <charconv>
#include "WorkloadStatistics.h"

namespace cli {

namespace {

// Every file in the collector's folder that holds a metric must give it
// the same help text, so it never depends on the run.
struct Metric {
    const char* name;
    const char* help;
};

constexpr Metric kBuildInfo{"dozozeda_build_info",
                            "The dozozeda-cli that measures the target: its version and operating system; always 1."};
constexpr Metric kRate{"dozozeda_rate_bytes_per_second",
                       "Rate of the last measurement's timed transfers to the target (median, min or max of its runs)."};
constexpr Metric kStarted{"dozozeda_last_run_timestamp_seconds",
                          "When the last measurement of the target started, in seconds since 1970-01-01 UTC."};
constexpr Metric kSuccess{"dozozeda_last_run_success",
                          "Whether every run of the last measurement of the target completed (1) or not (0)."};
constexpr Metric kEnded{"dozozeda_last_run_end_timestamp_seconds",
                        "When the last measurement of the target ended, in seconds since 1970-01-01 UTC."};
constexpr Metric kLastSuccess{"dozozeda_last_success_timestamp_seconds",
                              "When a measurement of the target last completed every run, in seconds since 1970-01-01 "
                              "UTC; kept across failed measurements."};
constexpr Metric kDuration{"dozozeda_last_run_duration_seconds",
                           "How long the last measurement of the target took, from start to end."};
constexpr Metric kExitCode{"dozozeda_last_run_exit_code",
                           "Exit status of the last measurement of the target: 0 ok, 1 failed, 3 a copy stayed on "
                           "the share."};
constexpr Metric kFailure{"dozozeda_last_run_failure",
                          "Why the last measurement of the target failed: its stage and reason; always 1, absent "
                          "when it did not fail."};
constexpr Metric kCopyLeft{"dozozeda_copy_left_on_share",
                           "Whether a copy of the test file stayed on the share after the last measurement, or may "
                           "have because the share could not say (1), or not (0)."};

// The exposition format escapes a backslash, a double quote and a line
// feed; the rest must be UTF-8, or node_exporter drops the whole file.
std::string labelValue(const std::string& text)
{
    std::string escaped;
    for (const char c : validUtf8(text)) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

// The target as its series name it: the administrator's name when given.
std::string targetLabel(const Report& report)
{
    for (const auto& [key, value] : report.labels) {
        if (key == "target")
            return value;
    }
    return report.target;
}

// What every series of the target carries, in front of its own labels.
std::string commonLabels(const Report& report)
{
    std::string labels = "target=\"" + labelValue(targetLabel(report)) + "\",fstype=\""
        + labelValue(report.fileSystem ? report.fileSystem->type : "unknown") + "\"";
    for (const auto& [key, value] : report.labels) {
        if (key != "target")
            labels += "," + key + "=\"" + labelValue(value) + "\"";
    }
    return labels;
}

std::string family(const Metric& metric)
{
    return std::string("# HELP ") + metric.name + " " + metric.help + "\n# TYPE " + metric.name + " gauge\n";
}

// The labels of a sample line from `at`, just after its '{', to the '}',
// which `at` is left on; nothing for a line that is not well formed.
std::optional<std::vector<std::pair<std::string, std::string>>> sampleLabels(std::string_view line, std::size_t& at)
{
    std::vector<std::pair<std::string, std::string>> labels;
    while (at < line.size() && line[at] != '}') {
        const std::size_t equals = line.find('=', at);
        if (equals == std::string_view::npos || equals + 1 >= line.size() || line[equals + 1] != '"')
            return std::nullopt;
        std::string value;
        std::size_t i = equals + 2;
        for (; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
                value += line[i] == 'n' ? '\n' : line[i];
            } else {
                value += line[i];
            }
        }
        if (i >= line.size())
            return std::nullopt;
        labels.emplace_back(std::string(line.substr(at, equals - at)), std::move(value));
        at = i + 1;
        if (at < line.size() && line[at] == ',')
            ++at;
    }
    if (at >= line.size())
        return std::nullopt;
    return labels;
}

} // namespace

std::string prometheusMetrics(const Report& report)
{
    const std::string common = commonLabels(report);
    const auto sample = [&](const Metric& metric, const std::string& more, double value) {
        return std::string(metric.name) + "{" + common + more + "} " + shortestText(value) + "\n";
    };
    const auto directed = [](Direction direction) { return ",direction=\"" + std::string(name(direction)) + "\""; };

    std::string text = family(kBuildInfo)
        + sample(kBuildInfo, ",version=\"" + labelValue(report.version) + "\",os=\"" + labelValue(report.os) + "\"", 1);
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
                rates += sample(kRate, directed(direction) + ",statistic=\"" + statistic + "\"", value);
        }
        started += sample(kStarted, directed(direction), unixSeconds(report.startedAt));
        success += sample(kSuccess, directed(direction), succeeded ? 1 : 0);
    }
    // The tests of many small operations are directions of their own here,
    // so that an alert on a failed measurement sees them too.
    for (const Workload test : report.workloads()) {
        const std::string direction = ",direction=\"" + std::string(name(test)) + "\"";
        started += sample(kStarted, direction, unixSeconds(report.startedAt));
        success += sample(kSuccess, direction, workloadSucceeded(report, test) ? 1 : 0);
    }
    if (!rates.empty())
        text += family(kRate) + rates;
    text += family(kStarted) + started + family(kSuccess) + success;
    text += family(kEnded) + sample(kEnded, "", unixSeconds(report.finishedAt));
    if (report.lastSuccess)
        text += family(kLastSuccess) + sample(kLastSuccess, "", *report.lastSuccess);
    text += family(kDuration)
        + sample(kDuration, "", std::chrono::duration<double>(report.duration).count());
    text += family(kExitCode) + sample(kExitCode, "", report.exitCode());
    if (report.failure)
        text += family(kFailure)
            + sample(kFailure,
                     ",stage=\"" + labelValue(report.failure->stage) + "\",reason=\""
                         + std::string(name(report.failure->cause.reason)) + "\"",
                     1);
    text += family(kCopyLeft) + sample(kCopyLeft, "", report.copyRemoved == true ? 0 : 1);
    return text + prometheusWorkloadMetrics(report, common);
}

std::optional<double> lastSuccessIn(std::string_view metrics, const Report& report)
{
    const std::string target = validUtf8(targetLabel(report));
    const std::string start = std::string(kLastSuccess.name) + "{";
    for (std::size_t begin = 0; begin < metrics.size();) {
        const std::size_t end = std::min(metrics.find('\n', begin), metrics.size());
        const std::string_view line = metrics.substr(begin, end - begin);
        begin = end + 1;
        if (!line.starts_with(start))
            continue;
        std::size_t at = start.size();
        const auto labels = sampleLabels(line, at);
        if (!labels)
            continue;
        bool ours = false;
        for (const auto& [key, value] : *labels)
            ours = ours || (key == "target" && value == target);
        const std::size_t number = line.find_first_not_of(' ', at + 1);
        double seconds = 0;
        if (!ours || number == std::string_view::npos)
            continue;
        const auto [stop, error] = std::from_chars(line.data() + number, line.data() + line.size(), seconds);
        if (error == std::errc() && (stop == line.data() + line.size() || *stop == ' '))
            return seconds;
    }
    return std::nullopt;
}

} // namespace cli
