#include "Formats.h"

#include "CsvWorkload.h"
#include "NumberText.h"

#include <vector>

namespace cli {

namespace {

// The same as the JSON's schema_version: both name the same fields.
constexpr int kSchemaVersion = 1;

std::string field(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

// key=value;key=value in the order given; a ';' or '\' in a value is
// escaped with a '\', so that the list splits back unambiguously.
std::string labelList(const Report& report)
{
    std::string list;
    for (const auto& [key, value] : report.labels) {
        list += (list.empty() ? "" : ";") + key + "=";
        for (const char c : value) {
            if (c == ';' || c == '\\')
                list += '\\';
            list += c;
        }
    }
    return list;
}

std::string row(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + field(fields[i]);
    return line + "\r\n";
}

} // namespace

std::string csvHeader()
{
    std::vector<std::string> columns{"schema_version", "started_at", "host", "target", "file_size_bytes", "pattern",
                                     "test", "run", "warmup", "status", "bytes", "seconds", "bytes_per_second",
                                     "cache_bypass", "resident_fraction_before", "cache_suspect", "error",
                                     "target_file_system", "reason", "labels"};
    for (std::string& column : csvWorkloadColumns())
        columns.push_back(std::move(column));
    return row(columns);
}

std::string csvRows(const Report& report)
{
    const std::vector<std::string> invocation{std::to_string(kSchemaVersion), utcTimestamp(report.startedAt),
                                              report.host, report.target, std::to_string(report.fileBytes),
                                              report.pattern};
    // Last, so that a script reading the columns by position still finds
    // the others where they were.
    const std::string fileSystem = report.fileSystem ? report.fileSystem->type : "";
    const std::string labels = labelList(report);
    std::string rows;
    const auto large = [&](const RunResult& run) {
        const bool ok = run.status == RunResult::Status::Ok;
        const bool read = run.direction == Direction::Read;
        std::vector<std::string> fields = invocation;
        fields.insert(fields.end(),
                      {std::string(name(run.direction)), std::to_string(run.run), run.warmup ? "true" : "false",
                       std::string(name(run.status)), ok ? std::to_string(run.bytes) : "",
                       ok ? shortestText(run.seconds) : "", ok ? shortestText(run.bytesPerSecond()) : "",
                       read ? run.cacheBypass : "",
                       read && run.residentBefore ? shortestText(*run.residentBefore) : "",
                       read ? (run.cacheSuspect ? "true" : "false") : "", run.error, fileSystem, run.reason,
                       labels});
        for (std::string& field : csvRunColumns(run))
            fields.push_back(std::move(field));
        rows += row(fields);
    };
    const auto small = [&](const WorkloadRun& run) {
        for (const std::vector<std::string>& phase : csvWorkloadRows(run, {fileSystem, run.reason, labels})) {
            std::vector<std::string> fields = invocation;
            fields.insert(fields.end(), phase.begin(), phase.end());
            rows += row(fields);
        }
    };
    forEachRun(report, large, small);
    // A history must show the hours the share could not be reached at all,
    // and a copy left behind after the last run.
    const bool noRun = report.runs.empty() && report.workloadRuns.empty();
    if (report.failure && (noRun || report.failure->stage == "cleanup")) {
        std::vector<std::string> fields = invocation;
        fields.insert(fields.end(), {report.failure->stage, "", "", std::string(name(report.outcome)), "", "", "",
                                     "", "", "", report.failure->message, fileSystem,
                                     std::string(name(report.failure->cause.reason)), labels});
        fields.resize(fields.size() + csvWorkloadColumns().size());
        rows += row(fields);
    }
    return rows;
}

} // namespace cli
