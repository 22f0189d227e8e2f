#include "WorkloadRunner.h"

#include "CopyName.h"
#include "FailureReason.h"
#include "FolderTree.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "ShareAddress.h"
#include "SmallFiles.h"
#include "Utf8Text.h"
#include "WrittenFiles.h"

namespace cli {

namespace {

struct Timed {
    std::vector<measure::PhaseTiming> phases;
    std::string leftOver;
};

// Whether the test's folder is still there; nothing when the share cannot
// say (it stopped answering).
std::optional<bool> stillThere(const platform::ResolvedPath& folder)
{
    try {
        return platform::lookupEntry(folder.native()).has_value();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

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
        result.error = validUtf8(platform::withoutPassword(result.error));
        report.workloadRuns.push_back(result);
        observer.workloadFinished(result);
    };
    const auto failed = [&](const std::string& message, Cause cause) {
        result.status = RunResult::Status::Failed;
        result.error = message;
        result.reason = std::string(name(cause.reason));
        observer.problem("run " + std::to_string(number) + ", " + stage + ": " + message);
        report.fail(Outcome::Failed, stage, message, cause);
        finish();
    };

    // A folder of that name that was there before is not this run's to
    // count as left over (the test refuses to use it). A share that cannot
    // answer here fails the test itself at once, which says why.
    bool foreign = false;
    try {
        foreign = platform::lookupEntry(folder.native()).has_value();
    } catch (const std::exception&) {
    }

    const std::string& made = folder.native();
    if (!foreign)
        writtenFiles().add(made, "the " + stage + " test's folder", "on the share");
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
        const std::string& leftOver = cancelled.leftOver();
        if (leftOver.empty())
            writtenFiles().remove(made);
        else
            report.copyRemoved = false;
        // A stop for a limit that ran out is a failure, not an interruption.
        if (const auto limit = observer.limitReached()) {
            failed(limit->message + leftOver, {limit->reason, std::nullopt});
            return false;
        }
        result.status = RunResult::Status::Interrupted;
        result.error = "interrupted" + leftOver;
        if (!leftOver.empty())
            observer.problem("the " + stage + " test was stopped" + leftOver);
        report.fail(Outcome::Interrupted, stage, result.error);
        finish();
        return false;
    } catch (const std::exception& error) {
        if (const auto limit = observer.limitReached())
            failed(limit->message + "; " + error.what(), {limit->reason, causeOf(error).osError});
        else
            failed(error.what(), causeOf(error));
        // Whether what the test made is gone, as after a failed write; after
        // a stop the share, which kept the program waiting, is not asked.
        if (!foreign) {
            const std::optional<bool> left = stop.stop_requested() ? std::nullopt : stillThere(folder);
            if (!left)
                report.copyRemoved = std::nullopt;
            else if (*left)
                report.copyRemoved = false;
            else
                writtenFiles().remove(made);
        }
        return false;
    }
    for (const measure::PhaseTiming& phase : timed.phases)
        result.phases.push_back(resultOf(phase));
    finish();
    if (timed.leftOver.empty()) {
        writtenFiles().remove(made);
        return true;
    }
    report.copyRemoved = false;
    observer.problem(timed.leftOver);
    report.fail(Outcome::CopyLeft, "cleanup", timed.leftOver);
    return false;
}

} // namespace cli
