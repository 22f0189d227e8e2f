#include "CsvWorkload.h"

#include "NumberText.h"

namespace cli {

namespace {

constexpr std::size_t kColumns = 11;

std::string number(std::optional<double> value)
{
    return value ? shortestText(*value) : "";
}

} // namespace

std::vector<std::string> csvWorkloadColumns()
{
    return {"phase",
            "operations",
            "operations_per_second",
            "latency_p50_seconds",
            "latency_p90_seconds",
            "latency_p99_seconds",
            "latency_max_seconds",
            "client_cache_suspect",
            "flush_seconds",
            "intervals",
            "streams"};
}

std::vector<std::string> csvRunColumns(const RunResult& run)
{
    std::vector<std::string> fields(kColumns);
    // start:seconds:bytes per interval; the flush has a column of its own.
    std::string intervals;
    for (const measure::Interval& interval : run.intervals) {
        if (interval.flush) {
            fields[8] = shortestText(interval.seconds);
            continue;
        }
        intervals += (intervals.empty() ? "" : " ") + shortestText(interval.startSeconds) + ":"
            + shortestText(interval.seconds) + ":" + std::to_string(interval.bytes);
    }
    fields[9] = intervals;
    // start:seconds:bytes per stream.
    std::string streams;
    for (const RunResult::Stream& stream : run.streams) {
        streams += (streams.empty() ? "" : " ") + shortestText(stream.startSeconds) + ":" + shortestText(stream.seconds)
            + ":" + std::to_string(stream.bytes);
    }
    fields[10] = streams;
    return fields;
}

std::vector<std::vector<std::string>> csvWorkloadRows(const WorkloadRun& run, const std::vector<std::string>& shared)
{
    const std::vector<std::string> start{std::string(name(run.test)), std::to_string(run.run),
                                         run.warmup ? "true" : "false", std::string(name(run.status))};
    std::vector<std::vector<std::string>> rows;
    if (run.status != RunResult::Status::Ok) {
        std::vector<std::string> fields = start;
        fields.insert(fields.end(), {"", "", "", "", "", "", run.error});
        fields.insert(fields.end(), shared.begin(), shared.end());
        fields.resize(fields.size() + kColumns);
        rows.push_back(std::move(fields));
        return rows;
    }
    for (const PhaseResult& phase : run.phases) {
        std::vector<std::string> fields = start;
        const bool read = !phase.cacheBypass.empty();
        fields.insert(fields.end(), {phase.bytes ? std::to_string(*phase.bytes) : "", shortestText(phase.seconds),
                                     number(phase.bytesPerSecond()), phase.cacheBypass, "",
                                     read ? (phase.cacheSuspect ? "true" : "false") : "", ""});
        fields.insert(fields.end(), shared.begin(), shared.end());
        fields.insert(fields.end(), {phase.phase, std::to_string(phase.operations),
                                     shortestText(phase.operationsPerSecond()), shortestText(phase.latency.p50),
                                     shortestText(phase.latency.p90), shortestText(phase.latency.p99),
                                     shortestText(phase.latency.max), phase.clientCacheSuspect ? "true" : "false", "",
                                     "", ""});
        rows.push_back(std::move(fields));
    }
    return rows;
}

} // namespace cli
