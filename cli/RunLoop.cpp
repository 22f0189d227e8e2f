#include "RunLoop.h"

#include "CopyName.h"
#include "FileCopy.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "Streams.h"
#include "UncachedRead.h"
#include "Utf8Text.h"
#include "WorkloadRunner.h"
#include "WrittenFiles.h"

#include <atomic>
#include <chrono>

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

// Where each stream's copy goes: the first under the copy's own name.
std::vector<platform::ResolvedPath> destinations(const RunPlan& plan, const Report& report)
{
    std::vector<platform::ResolvedPath> paths{plan.target.child(plan.copyName)};
    for (int stream = 2; stream <= report.streams; ++stream)
        paths.push_back(plan.target.child(streamCopyName(report.namePrefix, stream)));
    return paths;
}

// What each stream of a write or read is told after every block: its
// recorder for the intervals, when they are asked for, and the observer,
// with the bytes of all streams together, so that a stall watch sees the
// transfer as one. Each stream calls on its own thread; no stream waits
// for another.
template <typename Progress>
class StreamProgress {
public:
    StreamProgress(const Report& report, RunObserver& observer, std::int64_t bytes, std::size_t blockSize)
        : m_length(std::chrono::duration_cast<std::chrono::nanoseconds>(
              std::chrono::duration<double>(report.intervalSeconds)))
        , m_total(bytes * report.streams)
        , m_done(static_cast<std::size_t>(report.streams), 0)
    {
        const auto streams = static_cast<std::size_t>(report.streams);
        // Each observer holds on to its recorder: none may move afterwards.
        if (m_length.count() > 0) {
            m_blocks.reserve(streams);
            for (std::size_t stream = 0; stream < streams; ++stream)
                m_blocks.emplace_back(bytes, blockSize);
        }
        for (std::size_t stream = 0; stream < streams; ++stream) {
            m_progress.emplace_back([this, &observer, stream](std::int64_t done) {
                if (!m_blocks.empty())
                    m_blocks[stream].record(done);
                const std::int64_t more = done - m_done[stream];
                m_done[stream] = done;
                observer.transferred(m_moved.fetch_add(more) + more, m_total);
            });
        }
    }
    StreamProgress(const StreamProgress&) = delete;
    StreamProgress& operator=(const StreamProgress&) = delete;

    const std::vector<Progress>& progress() const { return m_progress; }

    // The streams' intervals together, on the clock of their timings.
    template <typename Timing>
    std::vector<measure::Interval> intervals(const std::vector<Timing>& streams, std::chrono::nanoseconds start,
                                             std::chrono::nanoseconds end, bool flush)
    {
        if (m_blocks.empty())
            return {};
        for (std::size_t i = 0; i < m_blocks.size() && i < streams.size(); ++i)
            m_blocks[i].startedAt(streams[i].start);
        return measure::intervalsOf(m_blocks, start, end, m_length, flush);
    }

private:
    const std::chrono::nanoseconds m_length;
    const std::int64_t m_total;
    // Each stream's bytes so far, written by that stream's thread alone.
    std::vector<std::int64_t> m_done;
    std::atomic<std::int64_t> m_moved{0};
    std::vector<measure::BlockTimes> m_blocks;
    std::vector<Progress> m_progress;
};

template <typename Timing>
std::vector<RunResult::Stream> streamFigures(const std::vector<Timing>& streams, std::chrono::nanoseconds start)
{
    std::vector<RunResult::Stream> figures;
    if (streams.size() < 2)
        return figures;
    for (const Timing& timing : streams) {
        const double startSeconds = std::chrono::duration<double>(timing.start - start).count();
        figures.push_back({timing.bytes, startSeconds, timing.seconds()});
    }
    return figures;
}

class Runs {
public:
    Runs(const RunPlan& plan, Report& report, RunObserver& observer, std::stop_token stop)
        : m_plan(plan)
        , m_report(report)
        , m_observer(observer)
        , m_stop(std::move(stop))
        , m_destinations(report.write ? destinations(plan, report) : std::vector<platform::ResolvedPath>())
    {
    }

    // False once no further run may follow.
    bool run(int number)
    {
        if (m_report.write && !copies(number))
            return false;
        for (const Workload test : m_report.workloads()) {
            if (!runWorkload(test, number, m_plan.target, m_plan.pattern, m_report, m_observer, m_stop))
                return false;
        }
        return !m_stop.stop_requested();
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

    bool copies(int number)
    {
        const std::optional<std::vector<platform::ResolvedPath>> copies = write(number);
        if (!copies)
            return false;
        const bool readDone = !m_report.read || read(number, *copies);
        bool removed = true;
        for (const platform::ResolvedPath& copy : *copies)
            removed = remove(copy) && removed;
        return removed && readDone && !m_stop.stop_requested();
    }

    std::optional<std::vector<platform::ResolvedPath>> write(int number)
    {
        RunResult result = start(number, Direction::Write);
        for (const platform::ResolvedPath& destination : m_destinations)
            writtenFiles().add(destination.native(), "the copy", "on the share");
        StreamProgress<measure::CopyProgress> progress(m_report, m_observer, m_plan.bytes, platform::kCopyBlockSize);
        measure::StreamCopies timing;
        try {
            timing = measure::timeCopies(m_plan.localFile, m_destinations, m_stop, progress.progress());
        } catch (const platform::Cancelled& cancelled) {
            if (cancelled.leftOver().empty()) {
                for (const platform::ResolvedPath& destination : m_destinations)
                    writtenFiles().remove(destination.native());
            }
            stopped(std::move(result), cancelled.leftOver());
            return std::nullopt;
        } catch (const std::exception& error) {
            failed(std::move(result), error);
            for (const platform::ResolvedPath& destination : m_destinations) {
                // After a stop the share is not asked again: it is the share
                // that kept the program waiting.
                const std::optional<bool> left = m_stop.stop_requested() ? std::nullopt : stillThere(destination);
                if (!left)
                    m_report.copyRemoved = std::nullopt;
                else if (*left)
                    m_report.copyRemoved = false;
                else
                    writtenFiles().remove(destination.native());
            }
            return std::nullopt;
        }
        std::vector<platform::ResolvedPath> copies;
        for (const measure::CopyTiming& stream : timing.streams)
            copies.push_back(stream.copy);
        // Another program wrote the test file meanwhile: a rate for bytes
        // that were not copied would be a lie.
        for (const measure::CopyTiming& stream : timing.streams) {
            if (stream.bytes != m_plan.bytes) {
                failed(std::move(result),
                       "the test file changed while it was copied: " + std::to_string(stream.bytes)
                           + " bytes were copied, not " + std::to_string(m_plan.bytes),
                       {});
                for (const platform::ResolvedPath& copy : copies)
                    remove(copy);
                return std::nullopt;
            }
        }
        result.bytes = timing.bytes();
        result.seconds = timing.seconds();
        result.intervals = progress.intervals(timing.streams, timing.start(), timing.end(), true);
        result.streams = streamFigures(timing.streams, timing.start());
        finish(std::move(result));
        return copies;
    }

    bool read(int number, const std::vector<platform::ResolvedPath>& copies)
    {
        RunResult result = start(number, Direction::Read);
        StreamProgress<measure::ReadProgress> progress(m_report, m_observer, m_plan.bytes,
                                                       platform::UncachedRead::kBlockSize);
        try {
            const measure::StreamReads timing =
                measure::timeReads(copies, m_plan.bytes, m_plan.pattern, m_stop, progress.progress());
            result.bytes = timing.bytes();
            result.seconds = timing.seconds();
            // The least faithful way any stream read is the run's.
            for (const measure::ReadTiming& stream : timing.streams) {
                if (result.cacheBypass.empty() || stream.bypass == measure::CacheBypass::None)
                    result.cacheBypass = measure::name(stream.bypass);
                if (stream.residentBefore)
                    result.residentBefore = std::max(result.residentBefore.value_or(0), *stream.residentBefore);
                result.cacheSuspect = result.cacheSuspect || stream.bypass == measure::CacheBypass::None;
            }
            result.intervals = progress.intervals(timing.streams, timing.start(), timing.end(), false);
            result.streams = streamFigures(timing.streams, timing.start());
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
    const std::vector<platform::ResolvedPath> m_destinations;
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
