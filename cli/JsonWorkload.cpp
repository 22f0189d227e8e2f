#include "JsonWorkload.h"

#include "CopyName.h"
#include "FolderTree.h"
#include "WorkloadStatistics.h"

namespace cli {

namespace {

Json latencyJson(const measure::LatencySummary& latency)
{
    return Json::Object{{"p50", latency.p50}, {"p90", latency.p90}, {"p99", latency.p99}, {"max", latency.max}};
}

Json rateJson(const RateStatistics& s)
{
    return Json::Object{{"median", s.median}, {"min", s.min},           {"max", s.max},
                        {"mean", s.mean},     {"aggregate", s.aggregate}, {"stdev", s.stdev}};
}

Json phaseJson(const PhaseResult& phase)
{
    Json::Object object{
        {"phase", phase.phase},
        {"operations", phase.operations},
        {"seconds", phase.seconds},
        {"operations_per_second", phase.operationsPerSecond()},
        {"bytes", phase.bytes},
        {"bytes_per_second", phase.bytesPerSecond()},
        {"latency_seconds", latencyJson(phase.latency)},
        {"client_cache_suspect", phase.clientCacheSuspect},
    };
    if (!phase.cacheBypass.empty()) {
        object.emplace_back("cache_bypass", phase.cacheBypass);
        object.emplace_back("cache_suspect", phase.cacheSuspect);
    }
    return object;
}

} // namespace

void addRunDetails(Json::Object& object, const RunResult& run)
{
    if (!run.intervals.empty()) {
        Json::Array intervals;
        for (const measure::Interval& interval : run.intervals) {
            Json::Object entry{
                {"start_seconds", interval.startSeconds}, {"seconds", interval.seconds}, {"bytes", interval.bytes}};
            if (interval.flush)
                entry.emplace_back("flush", true);
            intervals.emplace_back(std::move(entry));
        }
        object.emplace_back("intervals", std::move(intervals));
    }
    if (!run.streams.empty()) {
        Json::Array streams;
        for (std::size_t i = 0; i < run.streams.size(); ++i) {
            const RunResult::Stream& stream = run.streams[i];
            const double rate = static_cast<double>(stream.bytes) / stream.seconds;
            streams.emplace_back(Json::Object{{"stream", static_cast<int>(i + 1)},
                                              {"bytes", stream.bytes},
                                              {"start_seconds", stream.startSeconds},
                                              {"seconds", stream.seconds},
                                              {"bytes_per_second", rate}});
        }
        object.emplace_back("streams", std::move(streams));
    }
}

Json workloadRunJson(const WorkloadRun& run)
{
    const bool ok = run.status == RunResult::Status::Ok;
    Json::Array phases;
    for (const PhaseResult& phase : run.phases)
        phases.push_back(phaseJson(phase));
    return Json::Object{
        {"test", std::string(name(run.test))},
        {"run", run.run},
        {"warmup", run.warmup},
        {"status", std::string(name(run.status))},
        {"phases", std::move(phases)},
        {"error", ok ? Json() : Json(run.error)},
    };
}

void addWorkloadParameters(Json::Object& parameters, const Report& report)
{
    const bool intervals = report.write && report.intervalSeconds > 0;
    parameters.emplace_back("interval_seconds", intervals ? Json(report.intervalSeconds) : Json());
    parameters.emplace_back("streams", report.streams);
    Json smallFiles;
    if (report.smallFiles)
        smallFiles = Json::Object{{"files", report.files},
                                  {"file_size_bytes", report.smallFileBytes},
                                  {"folder_name", smallFilesFolderName(report.namePrefix)},
                                  {"flush", "each_file"}};
    parameters.emplace_back("small_files", std::move(smallFiles));
    Json folderTree;
    if (report.folderTree)
        folderTree = Json::Object{{"folders", report.folders},
                                  {"fan_out", measure::kTreeFanOut},
                                  {"root_name", folderTreeName(report.namePrefix)}};
    parameters.emplace_back("folder_tree", std::move(folderTree));
}

void addWorkloadSummary(Json::Object& summary, const Report& report)
{
    for (const Workload test : report.workloads()) {
        const std::vector<PhaseStatistics> phases = workloadStatistics(report, test);
        if (phases.empty()) {
            summary.emplace_back(std::string(name(test)), Json());
            continue;
        }
        Json::Array list;
        for (const PhaseStatistics& phase : phases) {
            list.emplace_back(Json::Object{
                {"phase", phase.phase},
                {"operations_total", phase.operations.bytesTotal},
                {"operations_per_second", rateJson(phase.operations)},
                {"bytes_per_second", phase.bytes ? rateJson(*phase.bytes) : Json()},
                {"latency_seconds", latencyJson(phase.latency)},
                {"client_cache_suspect", phase.clientCacheSuspect},
            });
        }
        summary.emplace_back(std::string(name(test)),
                             Json::Object{{"runs", phases.front().operations.runs}, {"phases", std::move(list)}});
    }
}

} // namespace cli
