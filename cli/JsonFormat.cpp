#include "Formats.h"

#include "FileCopy.h"
#include "Json.h"
#include "JsonWorkload.h"

namespace cli {

namespace {

// Raised only for a change that breaks a reader; new keys are not one.
constexpr int kSchemaVersion = 1;

Json runJson(const RunResult& run)
{
    const bool ok = run.status == RunResult::Status::Ok;
    Json::Object object{
        {"test", std::string(name(run.direction))},
        {"run", run.run},
        {"warmup", run.warmup},
        {"status", std::string(name(run.status))},
        {"bytes", ok ? Json(run.bytes) : Json()},
        {"seconds", ok ? Json(run.seconds) : Json()},
        {"bytes_per_second", ok ? Json(run.bytesPerSecond()) : Json()},
    };
    if (run.direction == Direction::Read) {
        object.emplace_back("cache_bypass", ok ? Json(run.cacheBypass) : Json());
        object.emplace_back("resident_fraction_before", run.residentBefore);
        object.emplace_back("cache_suspect", run.cacheSuspect);
    }
    object.emplace_back("error", ok ? Json() : Json(run.error));
    addRunDetails(object, run);
    return object;
}

Json statisticsJson(const RateStatistics& s)
{
    return Json::Object{
        {"runs", s.runs},
        {"bytes_total", s.bytesTotal},
        {"seconds_total", s.secondsTotal},
        {"bytes_per_second",
         Json::Object{{"median", s.median},
                      {"min", s.min},
                      {"max", s.max},
                      {"mean", s.mean},
                      {"aggregate", s.aggregate},
                      {"stdev", s.stdev}}},
    };
}

} // namespace

std::string jsonReport(const Report& report, bool pretty)
{
    Json::Array tests;
    for (const Direction direction : report.directions())
        tests.emplace_back(std::string(name(direction)));
    for (const Workload test : report.workloads())
        tests.emplace_back(std::string(name(test)));
    Json::Object labels;
    for (const auto& [key, value] : report.labels)
        labels.emplace_back(key, value);
    Json::Array staleRemoved;
    for (const std::string& path : report.staleRemoved)
        staleRemoved.emplace_back(path);
    Json::Object parameters{
        {"target", report.target},
        {"target_file_system",
         report.fileSystem
             ? Json(Json::Object{{"type", report.fileSystem->type}, {"network", report.fileSystem->network}})
             : Json()},
        {"copy_name", report.copyName},
        {"file_size_bytes", report.fileBytes},
        {"repeats", report.repeats},
        {"warmup_runs", report.warmups},
        {"tests", tests},
        {"pattern", report.pattern},
        {"block_size_bytes", static_cast<std::int64_t>(platform::kCopyBlockSize)},
        {"write_flush", "inside_timed_span"},
        {"server_cache", report.read || report.smallFiles ? Json("not_controlled") : Json()},
        {"labels", labels},
        {"timeout_seconds", report.timeoutSeconds},
        {"stall_timeout_seconds", report.stallSeconds},
    };
    addWorkloadParameters(parameters, report);
    Json::Array runs;
    forEachRun(
        report, [&](const RunResult& run) { runs.push_back(runJson(run)); },
        [&](const WorkloadRun& run) { runs.push_back(workloadRunJson(run)); });
    Json::Object summary;
    for (const Direction direction : report.directions()) {
        const auto stats = report.statistics(direction);
        summary.emplace_back(std::string(name(direction)), stats ? statisticsJson(*stats) : Json());
    }
    addWorkloadSummary(summary, report);
    const Json document = Json::Object{
        {"schema", "dozozeda-cli/result"},
        {"schema_version", kSchemaVersion},
        {"program", Json::Object{{"name", "dozozeda-cli"}, {"version", report.version}}},
        {"started_at", utcTimestamp(report.startedAt)},
        {"finished_at", utcTimestamp(report.finishedAt)},
        {"host", Json::Object{{"name", report.host}, {"os", report.os}}},
        {"parameters", parameters},
        {"runs", runs},
        {"summary", summary},
        {"cleanup", Json::Object{{"remote_copy_removed", report.copyRemoved},
                                 {"local_file_removed", report.localFileRemoved},
                                 {"stale_removed", staleRemoved}}},
        {"status", std::string(name(report.outcome))},
        {"error", report.failure ? Json(Json::Object{{"stage", report.failure->stage},
                                                     {"message", report.failure->message},
                                                     {"reason", std::string(name(report.failure->cause.reason))},
                                                     {"os_error", report.failure->cause.osError}})
                                 : Json()},
        {"exit_code", report.exitCode()},
    };
    return document.text(pretty) + "\n";
}

} // namespace cli
