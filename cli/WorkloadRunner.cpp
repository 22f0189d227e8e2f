#include "WorkloadRunner.h"

#include "CopyName.h"
#include "FolderTree.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "ShareAddress.h"
#include "SmallFiles.h"

namespace cli {

namespace {

struct Timed {
    std::vector<measure::PhaseTiming> phases;
    std::string leftOver;
};

PhaseResult resultOf(const measure::PhaseTiming& timing)
{
    PhaseResult result;
    result.phase = std::string(timing.phase);
    result.operations = timing.operations;
    result.bytes = timing.bytes;
    result.seconds = timing.seconds();
    result.latency = timing.latency;
    if (timing.bypass) {
        result.cacheBypass = measure::name(*timing.bypass);
        result.cacheSuspect = *timing.bypass == measure::CacheBypass::None;
    }
    result.clientCacheSuspect = timing.clientCacheSuspect;
    return result;
}

} // namespace

bool runWorkload(Workload test, int number, const platform::ResolvedPath& target, const measure::TestPattern& pattern,
                 Report& report, RunObserver& observer, std::stop_token stop)
{
    WorkloadRun result;
    result.test = test;
    result.run = number;
    result.warmup = number <= report.warmups;
    const std::string stage(name(test));
    const bool files = test == Workload::SmallFiles;
    const platform::ResolvedPath folder =
        target.child(files ? smallFilesFolderName(report.namePrefix) : folderTreeName(report.namePrefix));
    const measure::PhaseObserver phaseStarted = [&](std::string_view phase) {
        observer.phaseStarted(number, report.warmups + report.repeats, test, phase, result.warmup);
    };
    const auto finish = [&] {
        result.error = platform::withoutPassword(result.error);
        report.workloadRuns.push_back(result);
        observer.workloadFinished(result);
    };

    // A folder of that name that was there before is not this run's to
    // count as left over (the test refuses to use it).
    bool foreign = false;
    try {
        foreign = platform::lookupEntry(folder.native()).has_value();
    } catch (const std::exception&) {
    }

    Timed timed;
    try {
        if (files) {
            measure::SmallFilesTiming timing = measure::timeSmallFiles(
                {folder, report.files, report.smallFileBytes, pattern}, stop, phaseStarted);
            timed = {std::move(timing.phases), std::move(timing.leftOver)};
        } else {
            measure::FolderTreeTiming timing = measure::timeFolderTree({folder, report.folders}, stop, phaseStarted);
            timed = {std::move(timing.phases), std::move(timing.leftOver)};
        }
    } catch (const platform::Cancelled& cancelled) {
        result.status = RunResult::Status::Interrupted;
        result.error = "interrupted" + cancelled.leftOver();
        if (!cancelled.leftOver().empty()) {
            report.copyRemoved = false;
            observer.problem("the " + stage + " test was stopped" + cancelled.leftOver());
        }
        report.fail(Outcome::Interrupted, stage, result.error);
        finish();
        return false;
    } catch (const std::exception& error) {
        result.status = RunResult::Status::Failed;
        result.error = error.what();
        observer.problem("run " + std::to_string(number) + ", " + stage + ": " + error.what());
        report.fail(Outcome::Failed, stage, error.what());
        // Whether what the test made is gone, as after a failed write.
        try {
            if (!foreign && platform::lookupEntry(folder.native()))
                report.copyRemoved = false;
        } catch (const std::exception&) {
            report.copyRemoved = std::nullopt;
        }
        finish();
        return false;
    }
    for (const measure::PhaseTiming& phase : timed.phases)
        result.phases.push_back(resultOf(phase));
    finish();
    if (timed.leftOver.empty())
        return true;
    report.copyRemoved = false;
    observer.problem(timed.leftOver);
    report.fail(Outcome::CopyLeft, "cleanup", timed.leftOver);
    return false;
}

} // namespace cli
