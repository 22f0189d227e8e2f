#pragma once

#include "Options.h"
#include "Report.h"

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The text for people: a header that states the units once, a line per
// run as it completes, then the statistics per direction.
std::string textHeader(const Report& report, Units units);
std::string textRunLine(const RunResult& run, Units units);
// The column names again before a run's write when a table of another test
// came between; empty otherwise.
std::string textRunColumns(const RunResult& run, const Report& report, Units units);
std::string textSummary(const Report& report, Units units);
// The same for the tests of many small operations (TextWorkload.cpp): what
// the header says of them, the lines under a write or read run (its rate
// over time, its streams), the table of one run, the statistics and the
// headline's part.
std::string textWorkloadHeader(const Report& report);
std::string textRunDetails(const RunResult& run, const Report& report, Units units);
std::string textWorkloadRun(const WorkloadRun& run, Units units);
std::string textWorkloadSummary(const Report& report, Units units);
std::string textWorkloadHeadline(const Report& report);

// The whole report as one JSON document, pretty or on one line (JSON Lines).
// Its schema is docs/dozozeda-cli.schema.json.
std::string jsonReport(const Report& report, bool pretty);

// One CSV row per run (RFC 4180, CR LF), or a single row saying why there
// was no run at all.
std::string csvHeader();
std::string csvRows(const Report& report);

// The text exposition format of Prometheus, for node_exporter's textfile
// collector. Every series carries the target (or the administrator's
// --label target=NAME), its file system and the administrator's labels.
std::string prometheusMetrics(const Report& report);
// The families of the tests of many small operations and of the streams
// (PrometheusWorkload.cpp), every sample with `labels` (the target's).
std::string prometheusWorkloadMetrics(const Report& report, const std::string& labels);

// When the previous metrics of the report's target (the file -o replaces)
// say a measurement last succeeded; nothing when they do not.
std::optional<double> lastSuccessIn(std::string_view metrics, const Report& report);

} // namespace cli
