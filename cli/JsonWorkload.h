#pragma once

#include "Json.h"
#include "Report.h"

namespace cli {

// The parts of the JSON report that the rate over time, the streams and the
// tests of many small operations add (see docs/dozozeda-cli.schema.json).

// "intervals" and "streams" of a write or read run, where it has them.
void addRunDetails(Json::Object& object, const RunResult& run);
// One run of a test of many small operations.
Json workloadRunJson(const WorkloadRun& run);
// The parameters that describe those tests.
void addWorkloadParameters(Json::Object& parameters, const Report& report);
// summary.files, summary.folders.
void addWorkloadSummary(Json::Object& summary, const Report& report);

} // namespace cli
