#include "Formats.h"

#include "NumberText.h"
#include "WorkloadStatistics.h"

namespace cli {

namespace {

// As in PrometheusFormat.cpp: a help text never depends on the run.
struct Metric {
    const char* name;
    const char* help;
};

constexpr Metric kFiles{"dozozeda_small_files_per_second",
                        "Files per second in each phase of the last measurement's small-file test (median of its "
                        "runs): create (written and flushed one by one), enumerate, stat, read, delete."};
constexpr Metric kFolders{"dozozeda_folders_per_second",
                          "Folders per second in each phase of the last measurement's folder-tree test (median of its "
                          "runs): create, enumerate, delete."};
constexpr Metric kLatency{"dozozeda_operation_latency_seconds",
                          "Time one operation took in each phase of the last measurement's small-file or folder-tree "
                          "test: the 50th and 99th percentiles (median of its runs), and all its operations."};
constexpr Metric kStreams{"dozozeda_streams",
                          "Copies the last measurement wrote (and read) at once; its rates are all of them together."};

std::string family(const Metric& metric, const char* type = "gauge")
{
    return std::string("# HELP ") + metric.name + " " + metric.help + "\n# TYPE " + metric.name + " " + type + "\n";
}

} // namespace

std::string prometheusWorkloadMetrics(const Report& report, const std::string& labels)
{
    std::string text;
    if (report.write && report.streams > 1)
        text += family(kStreams) + kStreams.name + "{" + labels + "} " + std::to_string(report.streams) + "\n";
    std::string latencies;
    for (const Workload test : report.workloads()) {
        // Figures from an unfinished measurement would look like real ones.
        if (!workloadSucceeded(report, test))
            continue;
        const Metric& rate = test == Workload::SmallFiles ? kFiles : kFolders;
        text += family(rate);
        for (const PhaseStatistics& phase : workloadStatistics(report, test)) {
            text += std::string(rate.name) + "{" + labels + ",phase=\"" + phase.phase + "\"} "
                + shortestText(phase.operations.median) + "\n";
            const std::string phaseLabels =
                labels + ",test=\"" + std::string(name(test)) + "\",phase=\"" + phase.phase + "\"";
            for (const auto& [quantile, value] :
                 {std::pair{"0.5", phase.latency.p50}, std::pair{"0.99", phase.latency.p99}})
                latencies += std::string(kLatency.name) + "{" + phaseLabels + ",quantile=\"" + quantile + "\"} "
                    + shortestText(value) + "\n";
            // The operations' times add up to the phase's seconds.
            latencies += std::string(kLatency.name) + "_sum{" + phaseLabels + "} "
                + shortestText(phase.operations.secondsTotal) + "\n";
            latencies += std::string(kLatency.name) + "_count{" + phaseLabels + "} "
                + std::to_string(phase.operations.bytesTotal) + "\n";
        }
    }
    if (!latencies.empty())
        text += family(kLatency, "summary") + latencies;
    return text;
}

} // namespace cli
