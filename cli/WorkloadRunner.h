#pragma once

#include "Report.h"
#include "ResolvedPath.h"
#include "RunLoop.h"
#include "TestPattern.h"

#include <stop_token>

namespace cli {

// One run of a test of many small operations in the target folder, through
// the measurement core (measure::timeSmallFiles, measure::timeFolderTree),
// in a folder named after report.namePrefix. Records the run and any failure
// in the report and tells the observer; false when no further run may
// follow (a failure, a stop, or something that stayed in the target).
bool runWorkload(Workload test, int number, const platform::ResolvedPath& target, const measure::TestPattern& pattern,
                 Report& report, RunObserver& observer, std::stop_token stop);

} // namespace cli
