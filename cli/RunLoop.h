#pragma once

#include "FailureReason.h"
#include "Report.h"
#include "ResolvedPath.h"
#include "TestPattern.h"

#include <stop_token>
#include <string>

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
    // far. On the transferring thread, inside the timed span: returns at once.
    virtual void transferred(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // Why a stop was asked for when a limit of the run ran out rather than a
    // person or the system asking; nothing otherwise.
    virtual std::optional<LimitReached> limitReached() const { return std::nullopt; }
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

// Runs the report's warm-up and measured runs in turn, each a timed write,
// then (when asked) a timed read of the copy, then the copy's removal,
// through the measurement the window uses. Stops at the first failure, at a
// copy that cannot be removed, or at a stop request, and records it: a stop
// for a limit the observer names as a failure, any other as an interruption.
// Each copy is in writtenFiles() from before it is made until it is known
// to be gone.
void runAll(const RunPlan& plan, Report& report, RunObserver& observer, std::stop_token stop);

} // namespace cli
