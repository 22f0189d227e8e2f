#include "RunLoop.h"

#include "NativeFile.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "TimedCopy.h"
#include "TimedRead.h"
#include "Utf8Text.h"
#include "WrittenFiles.h"

namespace cli {

namespace {

// Whether a copy that failed part-way is still on the share; nothing when
// the share cannot say (it stopped answering).
std::optional<bool> stillThere(const platform::ResolvedPath& destination)
{
    try {
        return platform::lookupEntry(destination.native()).has_value();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

class Runs {
public:
    Runs(const RunPlan& plan, Report& report, RunObserver& observer, std::stop_token stop)
        : m_plan(plan)
        , m_report(report)
        , m_observer(observer)
        , m_stop(std::move(stop))
        , m_destination(plan.target.child(plan.copyName))
    {
    }

    // False once no further run may follow.
    bool run(int number)
    {
        const std::optional<platform::ResolvedPath> copy = write(number);
        if (!copy)
            return false;
        const bool readDone = !m_report.read || read(number, *copy);
        return remove(*copy) && readDone && !m_stop.stop_requested();
    }

    // A stop between steps: a failure when a limit ran out, else an
    // interruption.
    void stoppedBetween()
    {
        if (const auto limit = m_observer.limitReached()) {
            // Unless the run that noticed the stop has said it already.
            if (m_report.outcome < Outcome::Failed)
                m_observer.problem(limit->message);
            m_report.fail(Outcome::Failed, limit->stage, limit->message, {limit->reason, std::nullopt});
        } else {
            m_report.fail(Outcome::Interrupted, "write", "interrupted");
        }
    }

private:
    RunResult start(int number, Direction direction)
    {
        RunResult result;
        result.direction = direction;
        result.run = number;
        result.warmup = number <= m_report.warmups;
        m_observer.stepStarted(number, m_report.warmups + m_report.repeats, direction, result.warmup);
        return result;
    }

    void finish(RunResult result)
    {
        result.error = validUtf8(platform::withoutPassword(result.error));
        m_report.runs.push_back(result);
        m_observer.stepFinished(result);
    }

    void stopped(RunResult result, const std::string& leftOver)
    {
        if (!leftOver.empty())
            m_report.copyRemoved = false;
        if (const auto limit = m_observer.limitReached()) {
            failed(std::move(result), limit->message + leftOver, {limit->reason, std::nullopt});
            return;
        }
        result.status = RunResult::Status::Interrupted;
        result.error = "interrupted" + leftOver;
        if (!leftOver.empty())
            m_observer.problem("the copy was stopped" + leftOver);
        m_report.fail(Outcome::Interrupted, std::string(name(result.direction)), result.error);
        finish(std::move(result));
    }

    void failed(RunResult result, const std::string& message, Cause cause)
    {
        result.status = RunResult::Status::Failed;
        result.error = message;
        result.reason = std::string(name(cause.reason));
        m_observer.problem("run " + std::to_string(result.run) + ", " + std::string(name(result.direction)) + ": "
                           + message);
        m_report.fail(Outcome::Failed, std::string(name(result.direction)), message, cause);
        finish(std::move(result));
    }

    // An error after a limit ran out was caused by the stop, or came while
    // the share kept the program waiting: the limit is the reason.
    void failed(RunResult result, const std::exception& error)
    {
        if (const auto limit = m_observer.limitReached())
            failed(std::move(result), limit->message + "; " + error.what(), {limit->reason, causeOf(error).osError});
        else
            failed(std::move(result), error.what(), causeOf(error));
    }

    std::optional<platform::ResolvedPath> write(int number)
    {
        RunResult result = start(number, Direction::Write);
        const std::string& copy = m_destination.native();
        writtenFiles().add(copy, "the copy", "on the share");
        measure::CopyTiming timing;
        try {
            timing = measure::timeCopy(m_plan.localFile, m_destination, m_stop,
                                       [&](std::int64_t done) { m_observer.transferred(done, m_plan.bytes); });
        } catch (const platform::Cancelled& cancelled) {
            if (cancelled.leftOver().empty())
                writtenFiles().remove(copy);
            stopped(std::move(result), cancelled.leftOver());
            return std::nullopt;
        } catch (const std::exception& error) {
            failed(std::move(result), error);
            // After a stop the share is not asked again: it is the share
            // that kept the program waiting.
            const std::optional<bool> left = m_stop.stop_requested() ? std::nullopt : stillThere(m_destination);
            if (!left)
                m_report.copyRemoved = std::nullopt;
            else if (*left)
                m_report.copyRemoved = false;
            else
                writtenFiles().remove(copy);
            return std::nullopt;
        }
        // Another program wrote the test file meanwhile: a rate for bytes
        // that were not copied would be a lie.
        if (timing.bytes != m_plan.bytes) {
            failed(std::move(result),
                   "the test file changed while it was copied: " + std::to_string(timing.bytes)
                       + " bytes were copied, not " + std::to_string(m_plan.bytes),
                   {});
            remove(timing.copy);
            return std::nullopt;
        }
        result.bytes = timing.bytes;
        result.seconds = timing.seconds();
        finish(std::move(result));
        return timing.copy;
    }

    bool read(int number, const platform::ResolvedPath& copy)
    {
        RunResult result = start(number, Direction::Read);
        try {
            const measure::ReadTiming timing =
                measure::timeRead(copy, m_plan.bytes, m_plan.pattern, m_stop,
                                  [&](std::int64_t done) { m_observer.transferred(done, m_plan.bytes); });
            result.bytes = timing.bytes;
            result.seconds = timing.seconds();
            result.cacheBypass = measure::name(timing.bypass);
            result.residentBefore = timing.residentBefore;
            result.cacheSuspect = timing.bypass == measure::CacheBypass::None;
        } catch (const platform::Cancelled&) {
            stopped(std::move(result), {});
            return false;
        } catch (const std::exception& error) {
            failed(std::move(result), error);
            return false;
        }
        if (result.cacheSuspect)
            m_observer.problem("warning: run " + std::to_string(number)
                               + ": this machine's cache could not be bypassed for the read (method none); its "
                                 "rate may have come from memory");
        finish(std::move(result));
        return true;
    }

    // A copy is removed whatever happened since it was written, a stop
    // included: it must not stay on the share.
    bool remove(const platform::ResolvedPath& copy)
    {
        try {
            platform::DeleteFile(copy);
            writtenFiles().remove(copy.native());
            return true;
        } catch (const std::exception& error) {
            const std::string message = std::string("the copy stayed on the share: ") + error.what();
            m_report.copyRemoved = false;
            m_observer.problem(message);
            m_report.fail(Outcome::CopyLeft, "cleanup", message, causeOf(error));
            return false;
        }
    }

    const RunPlan& m_plan;
    Report& m_report;
    RunObserver& m_observer;
    std::stop_token m_stop;
    const platform::ResolvedPath m_destination;
};

} // namespace

void runAll(const RunPlan& plan, Report& report, RunObserver& observer, std::stop_token stop)
{
    Runs runs(plan, report, observer, stop);
    for (int number = 1; number <= report.warmups + report.repeats; ++number) {
        if (stop.stop_requested()) {
            runs.stoppedBetween();
            return;
        }
        if (!runs.run(number))
            break;
    }
    if (stop.stop_requested())
        runs.stoppedBetween();
}

} // namespace cli
