#include "RunLoop.h"

#include "CopyName.h"
#include "FileCopy.h"
#include "NativeFile.h"
#include "PlatformError.h"
#include "Runtime.h"
#include "ShareAddress.h"
#include "Streams.h"
#include "UncachedRead.h"
#include "WorkloadRunner.h"

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

// Records each stream's blocks when intervals are asked for; hands the
// transfers nothing to call otherwise.
template <typename Progress>
class Recorders {
public:
    Recorders(const Report& report, std::int64_t bytes, std::size_t blockSize)
        : m_length(std::chrono::duration_cast<std::chrono::nanoseconds>(
              std::chrono::duration<double>(report.intervalSeconds)))
    {
        if (m_length.count() <= 0)
            return;
        // Each observer holds on to its recorder: none may move afterwards.
        m_blocks.reserve(static_cast<std::size_t>(report.streams));
        for (int stream = 0; stream < report.streams; ++stream)
            m_blocks.emplace_back(bytes, blockSize);
        for (measure::BlockTimes& blocks : m_blocks)
            m_progress.emplace_back([&blocks](std::int64_t done) { blocks.record(done); });
    }

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
    std::chrono::nanoseconds m_length;
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
        result.error = platform::withoutPassword(result.error);
        m_report.runs.push_back(result);
        m_observer.stepFinished(result);
    }

    void stopped(RunResult result, const std::string& leftOver)
    {
        result.status = RunResult::Status::Interrupted;
        result.error = "interrupted" + leftOver;
        if (!leftOver.empty()) {
            m_report.copyRemoved = false;
            m_observer.problem("the copy was stopped" + leftOver);
        }
        m_report.fail(Outcome::Interrupted, std::string(name(result.direction)), result.error);
        finish(std::move(result));
    }

    void failed(RunResult result, const std::string& message)
    {
        result.status = RunResult::Status::Failed;
        result.error = message;
        m_observer.problem("run " + std::to_string(result.run) + ", " + std::string(name(result.direction)) + ": "
                           + message);
        m_report.fail(Outcome::Failed, std::string(name(result.direction)), message);
        finish(std::move(result));
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
        Recorders<measure::CopyProgress> recorders(m_report, m_plan.bytes, platform::kCopyBlockSize);
        measure::StreamCopies timing;
        try {
            timing = measure::timeCopies(m_plan.localFile, m_destinations, m_stop, recorders.progress());
        } catch (const platform::Cancelled& cancelled) {
            stopped(std::move(result), cancelled.leftOver());
            return std::nullopt;
        } catch (const std::exception& error) {
            failed(std::move(result), error.what());
            for (const platform::ResolvedPath& destination : m_destinations) {
                const std::optional<bool> left = stillThere(destination);
                if (!left)
                    m_report.copyRemoved = std::nullopt;
                else if (*left)
                    m_report.copyRemoved = false;
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
                failed(std::move(result), "the test file changed while it was copied: " + std::to_string(stream.bytes)
                                              + " bytes were copied, not " + std::to_string(m_plan.bytes));
                for (const platform::ResolvedPath& copy : copies)
                    remove(copy);
                return std::nullopt;
            }
        }
        result.bytes = timing.bytes();
        result.seconds = timing.seconds();
        result.intervals = recorders.intervals(timing.streams, timing.start(), timing.end(), true);
        result.streams = streamFigures(timing.streams, timing.start());
        finish(std::move(result));
        return copies;
    }

    bool read(int number, const std::vector<platform::ResolvedPath>& copies)
    {
        RunResult result = start(number, Direction::Read);
        Recorders<measure::ReadProgress> recorders(m_report, m_plan.bytes, platform::UncachedRead::kBlockSize);
        try {
            const measure::StreamReads timing =
                measure::timeReads(copies, m_plan.bytes, m_plan.pattern, m_stop, recorders.progress());
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
            result.intervals = recorders.intervals(timing.streams, timing.start(), timing.end(), false);
            result.streams = streamFigures(timing.streams, timing.start());
        } catch (const platform::Cancelled&) {
            stopped(std::move(result), {});
            return false;
        } catch (const std::exception& error) {
            failed(std::move(result), error.what());
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
            return true;
        } catch (const std::exception& error) {
            const std::string message = std::string("the copy stayed on the share: ") + error.what();
            m_report.copyRemoved = false;
            m_observer.problem(message);
            m_report.fail(Outcome::CopyLeft, "cleanup", message);
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
            report.fail(Outcome::Interrupted, "write", "interrupted");
            return;
        }
        if (!runs.run(number))
            break;
    }
    if (stop.stop_requested())
        report.fail(Outcome::Interrupted, "write", "interrupted");
}

} // namespace cli
