#pragma once

#include "Report.h"

#include <string>
#include <vector>

namespace cli {

// The columns the rate over time, the streams and the tests of many small
// operations add to the CSV, after all the others, so that a script that
// reads columns by position still finds the others where they were.
std::vector<std::string> csvWorkloadColumns();

// Those columns for a write or read row: the flush's seconds and the
// intervals and streams, each as one field of space-separated items.
std::vector<std::string> csvRunColumns(const RunResult& run);

// The rows of one run of a test of many small operations, one per phase
// (or one saying it failed), from the column "test" on; `shared` are the
// fields after "error" that every row has (the file system, the reason,
// the labels).
std::vector<std::vector<std::string>> csvWorkloadRows(const WorkloadRun& run, const std::vector<std::string>& shared);

} // namespace cli
