#pragma once

#include "FailureReason.h"
#include "Report.h"
#include "ResolvedPath.h"
#include "TestPattern.h"

#include <stop_token>
#include <string>
#include <string_view>

namespace cli {

// What the runs are told about, as they go.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A step starts: `direction` of run `run`, of `total`.
    virtual void stepStarted(int run, int total, Direction direction, bool warmup) = 0;
    virtual void stepFinished(const RunResult& result) = 0;
    // A failure, a stop or a copy that stayed, told as it happens.
    virtual void problem(const std::string& message) = 0;
    // A block of the step's copy or read moved: `done` of `total` bytes so
    // far (all streams'). On a transferring thread, inside the timed span:
    // returns at once; with several streams, several threads call at once.
    virtual void transferred(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // Why a stop was asked for when a limit of the run ran out rather than a
    // person or the system asking; nothing otherwise.
    virtual std::optional<LimitReached> limitReached() const { return std::nullopt; }
    // A phase of a test of many small operations starts, and such a run ends.
    virtual void phaseStarted(int /*run*/, int /*total*/, Workload /*test*/, std::string_view /*phase*/,
                              bool /*warmup*/)
    {
    }
    virtual void workloadFinished(const WorkloadRun& /*result*/) {}
};

struct RunPlan {
    platform::ResolvedPath localFile;
    // The target folder, resolved once before the first run, and the copy's
    // name in it.
    platform::ResolvedPath target;
    std::string copyName;
    std::int64_t bytes = 0;
    measure::TestPattern pattern = measure::TestPattern::x();
};

// Runs the report's warm-up and measured runs in turn, each a timed write
// (of report.streams copies at once, recording report.intervalSeconds
// intervals), then (when asked) a timed read of the copies, then their
// removal, through the measurement the window uses; then the small files
// and the folder tree that were asked for. Without report.write, nothing
// is copied and `plan.localFile` is not used. Stops at the first failure,
// at anything that cannot be removed, or at a stop request, and records it:
// a stop for a limit the observer names as a failure, any other as an
// interruption. Each copy (and each folder the tests of many small
// operations make) is in writtenFiles() from before it is made until it is
// known to be gone.
void runAll(const RunPlan& plan, Report& report, RunObserver& observer, std::stop_token stop);

} // namespace cli
