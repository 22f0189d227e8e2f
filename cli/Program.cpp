#include "Program.h"

#include "Console.h"
#include "CopyName.h"
#include "DozozedaVersion.h"
#include "FileSystemKind.h"
#include "FileSystemObject.h"
#include "Formats.h"
#include "LocalTestFile.h"
#include "Options.h"
#include "OutputFile.h"
#include "PlatformError.h"
#include "Progress.h"
#include "RunLoop.h"
#include "ShareAddress.h"
#include "StaleFiles.h"
#include "StaleTestFolders.h"
#include "StopSignals.h"
#include "System.h"
#include "Utf8Text.h"
#include "Watchdog.h"
#include "WrittenFiles.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <random>

namespace cli {

namespace {

constexpr std::string_view kPathError = "Path error!, check your path and try again!";

// Every line carries the program's name: standard error may be a log that
// several programs write to.
void say(const std::string& message)
{
    std::string text;
    for (std::size_t at = 0; at <= message.size();) {
        const std::size_t end = std::min(message.find('\n', at), message.size());
        text += "dozozeda-cli: " + message.substr(at, end - at) + "\n";
        at = end + 1;
    }
    writeErr(text);
}

measure::TestPattern patternFor(measure::TestPattern::Kind kind)
{
    if (kind == measure::TestPattern::Kind::X)
        return measure::TestPattern::x();
    std::random_device random;
    return measure::TestPattern::random((std::uint64_t{random()} << 32) | random());
}

Report newReport(const Options& options, const measure::TestPattern& pattern)
{
    Report report;
    report.version = DOZOZEDA_VERSION_TEXT;
    report.host = validUtf8(hostName());
    report.os = operatingSystem();
    report.startedAt = std::chrono::system_clock::now();
    report.target = validUtf8(platform::withoutPassword(options.target));
    for (const auto& [key, value] : options.labels)
        report.labels.emplace_back(key, validUtf8(platform::withoutPassword(value)));
    if (options.timeoutSeconds > 0)
        report.timeoutSeconds = options.timeoutSeconds;
    report.stallSeconds = options.stallSeconds;
    report.copyName = copyName(report.host, processId());
    report.namePrefix = namePrefix(report.host, processId());
    report.fileBytes = std::int64_t{options.sizeMiB} * 1024 * 1024;
    report.repeats = options.repeats;
    report.warmups = options.warmups;
    report.read = options.read;
    report.pattern = std::string(pattern.name());
    report.write = options.write;
    report.smallFiles = options.smallFiles;
    report.folderTree = options.folderTree;
    report.files = options.files;
    report.smallFileBytes = options.fileBytes;
    report.folders = options.folders;
    report.intervalSeconds = options.intervalSeconds;
    report.streams = options.streams;
    return report;
}

// The report as it stood at the last step, and where the run is now, for
// an ending that cannot wait for the run (see Watchdog).
class LastKnown {
public:
    explicit LastKnown(const Report& report)
        : m_report(report)
    {
    }

    void keep(const Report& report)
    {
        const std::lock_guard lock(m_mutex);
        m_report = report;
    }
    void at(std::string stage)
    {
        const std::lock_guard lock(m_mutex);
        m_stage = std::move(stage);
    }
    Report report() const
    {
        const std::lock_guard lock(m_mutex);
        return m_report;
    }
    std::string stage() const
    {
        const std::lock_guard lock(m_mutex);
        return m_stage;
    }

private:
    mutable std::mutex m_mutex;
    Report m_report;
    std::string m_stage = "precheck";
};

// Progress while a step runs; each run's line once it is done, when the
// text goes to a terminal or a pipe as it is made. Tells the watchdog what
// moves, and keeps what the run has done for it.
class Observer : public RunObserver {
public:
    Observer(Progress& progress, const Options& options, const Report& report, Watchdog& watchdog,
             LastKnown& lastKnown)
        : m_progress(progress)
        , m_options(options)
        , m_report(report)
        , m_streaming(options.format == Format::Text && options.output.empty() && !options.quiet)
        , m_watchdog(watchdog)
        , m_lastKnown(lastKnown)
    {
    }

    void begin()
    {
        m_lastKnown.keep(m_report);
        if (m_streaming)
            out(textHeader(m_report, m_options.units));
    }

    void end()
    {
        if (m_streaming)
            out(textSummary(m_report, m_options.units));
    }

    void stepStarted(int run, int total, Direction direction, bool warmup) override
    {
        m_lastKnown.at(std::string(name(direction)));
        m_lastKnown.keep(m_report);
        m_watchdog.transferStarting();
        m_progress.show((warmup ? "warm-up run " : "run ") + std::to_string(run) + " of " + std::to_string(total)
                        + ": " + (direction == Direction::Write ? "writing" : "reading") + " "
                        + (m_options.streams > 1 ? std::to_string(m_options.streams) + " x " : "")
                        + std::to_string(m_options.sizeMiB) + " MiB");
    }

    void stepFinished(const RunResult& result) override
    {
        m_watchdog.transferEnded();
        // What follows a step is the removal of its copy.
        m_lastKnown.at("cleanup");
        m_lastKnown.keep(m_report);
        m_progress.clear();
        if (m_streaming)
            out(textRunColumns(result, m_report, m_options.units) + textRunLine(result, m_options.units)
                + textRunDetails(result, m_report, m_options.units));
    }

    void phaseStarted(int run, int total, Workload test, std::string_view phase, bool warmup) override
    {
        m_lastKnown.at(std::string(name(test)));
        m_lastKnown.keep(m_report);
        m_progress.show((warmup ? "warm-up run " : "run ") + std::to_string(run) + " of " + std::to_string(total)
                        + ": " + std::string(name(test)) + ", " + std::string(phase));
    }

    void workloadFinished(const WorkloadRun& result) override
    {
        m_lastKnown.keep(m_report);
        m_progress.clear();
        if (m_streaming)
            out(textWorkloadRun(result, m_options.units));
    }

    void problem(const std::string& message) override
    {
        m_lastKnown.keep(m_report);
        m_progress.clear();
        say(message);
    }

    void transferred(std::int64_t done, std::int64_t total) override
    {
        m_watchdog.moved();
        // Only the flush is left, whose progress nobody sees.
        if (done >= total)
            m_watchdog.transferEnded();
    }

    std::optional<LimitReached> limitReached() const override
    {
        auto limit = m_watchdog.limitReached();
        if (limit)
            limit->stage = m_lastKnown.stage();
        return limit;
    }

    // A failure before the runs; one that came after a limit ran out is put
    // down to the limit, which stopped the run or kept it waiting.
    void failedEarly(Report& report, const std::string& problem, Cause cause)
    {
        if (const auto limit = limitReached()) {
            const std::string message = limit->message + "; " + problem;
            report.fail(Outcome::Failed, "precheck", message, {limit->reason, cause.osError});
            this->problem(message);
            return;
        }
        report.fail(Outcome::Failed, "precheck", problem, cause);
        this->problem(problem);
    }

    // Standard output failed: the result is lost, which the exit status says.
    bool outputFailed() const { return m_outputFailed; }

private:
    void out(const std::string& text)
    {
        try {
            writeOut(text);
        } catch (const std::exception& error) {
            if (!m_outputFailed)
                say(error.what());
            m_outputFailed = true;
        }
    }

    Progress& m_progress;
    const Options& m_options;
    const Report& m_report;
    const bool m_streaming;
    Watchdog& m_watchdog;
    LastKnown& m_lastKnown;
    bool m_outputFailed = false;
};

// The target folder, resolved once: every run copies into it, reads from it
// and removes from it, whatever the typed text might lead to later.
// Whatever the check finds wrong is said as the window says it, with the
// reason (or how to mount the share) after it.
std::optional<platform::ResolvedPath> findTarget(const std::string& typed, Report& report, Observer& observer)
{
    try {
        platform::ResolvedPath target = platform::resolvePath(typed);
        platform::FileSystemObject().GetFolder(target);
        return target;
    } catch (const std::exception& error) {
        observer.failedEarly(report, std::string(kPathError) + "\n" + error.what(), causeOf(error));
        return std::nullopt;
    }
}

// What the target lies on, for every format to name. With --require-network
// a local one is refused: a share's mount point that is empty because the
// share went away is a local folder, and timing it would put a local disk's
// rate into the share's history.
bool checkFileSystem(const platform::ResolvedPath& target, const platform::ResolvedPath& temporary,
                     const Options& options, Report& report, Observer& observer)
{
    std::string problem;
    Cause cause;
    try {
        report.fileSystem = platform::fileSystemOf(target);
        const std::string quoted = platform::quotedPath(report.target);
        if (options.requireNetwork && !report.fileSystem->network) {
            problem = quoted + " is on a local file system (" + report.fileSystem->type
                + "), not a network share: the share is not mounted there (any more). Mount it, or leave out "
                  "--require-network to measure a local folder";
            cause.reason = Reason::NotMounted;
        } else if (options.requireNetwork && !report.fileSystem->device.empty()
                   && report.fileSystem->device == platform::fileSystemOf(temporary).device) {
            problem = quoted + " is on the same device as the local test file (" + report.fileSystem->type
                + "), so the copy would not cross a network. Set TMPDIR to a folder on a local disk, or leave out "
                  "--require-network";
        }
    } catch (const std::exception& error) {
        if (!options.requireNetwork)
            return true;
        problem = std::string("cannot tell what file system the target is on, which --require-network needs: ")
            + error.what();
    }
    if (problem.empty())
        return true;
    observer.failedEarly(report, problem, cause);
    return false;
}

// Says what earlier runs had left and this one removed, and what it could not.
void reportStale(const StaleFiles& stale, Report& report, RunObserver& observer)
{
    std::string removed;
    for (const std::string& path : stale.removed) {
        report.staleRemoved.push_back(validUtf8(platform::withoutPassword(path)));
        removed += (removed.empty() ? "" : ", ") + platform::quotedPath(path);
    }
    if (!removed.empty())
        observer.problem("removed what earlier runs of this machine had left: " + removed);
    for (const std::string& problem : stale.problems)
        observer.problem("warning: " + problem);
}

std::string resultText(const Report& report, const Options& options)
{
    switch (options.format) {
    case Format::Text:
        return textHeader(report, options.units) + [&] {
            std::string lines;
            forEachRun(
                report,
                [&](const RunResult& run) {
                    lines += textRunColumns(run, report, options.units) + textRunLine(run, options.units)
                        + textRunDetails(run, report, options.units);
                },
                [&](const WorkloadRun& run) { lines += textWorkloadRun(run, options.units); });
            return lines;
        }() + textSummary(report, options.units);
    case Format::Json:
        return jsonReport(report, true);
    case Format::JsonLines:
        return jsonReport(report, false);
    case Format::Csv:
        return csvRows(report);
    case Format::Prometheus:
        break;
    }
    return prometheusMetrics(report);
}

void runMeasurement(const Options& options, Report& report, Observer& observer, const StaleFiles& staleOutput,
                    const measure::TestPattern& pattern, std::stop_token stop)
{
    const platform::ResolvedPath temporary = platform::ResolvedPath::fromSystem(temporaryFolder());
    StaleFiles stale = staleOutput;
    removeStaleFiles(
        temporary, [&](std::string_view name) { return LocalTestFile::ownerOf(name, report.host); }, stale);
    reportStale(stale, report, observer);
    const auto target = findTarget(options.target, report, observer);
    if (!target || !checkFileSystem(*target, temporary, options, report, observer))
        return;
    StaleFiles staleCopies;
    removeStaleFiles(
        *target, [&](std::string_view name) { return copyOwner(name, report.host); }, staleCopies, stop);
    removeStaleTestFolders(*target, report.host, staleCopies);
    reportStale(staleCopies, report, observer);
    // The tests of many small operations copy nothing from this machine.
    std::optional<LocalTestFile> local;
    try {
        if (report.write)
            local.emplace(temporary, report.host, report.fileBytes, pattern, stop);
    } catch (const platform::Cancelled&) {
        if (const auto limit = observer.limitReached()) {
            report.fail(Outcome::Failed, "precheck", limit->message, {limit->reason, std::nullopt});
            observer.problem(limit->message);
        } else {
            report.fail(Outcome::Interrupted, "precheck", "interrupted while the local test file was written");
        }
        return;
    } catch (const std::exception& error) {
        // The local disk's trouble, not the share's: no reason an alert
        // about the share would act on.
        observer.failedEarly(report, std::string("cannot write the local test file: ") + error.what(),
                             {Reason::Other, causeOf(error).osError});
        return;
    }
    observer.begin();
    const platform::ResolvedPath localFile = local ? local->path() : platform::ResolvedPath();
    runAll({localFile, *target, report.copyName, report.fileBytes, pattern}, report, observer, stop);
    if (const std::string leftOver = local ? local->remove() : std::string(); !leftOver.empty()) {
        report.localFileRemoved = false;
        observer.problem("the local test file stayed in the temporary folder" + leftOver);
    }
    observer.end();
}

// Writes the result where it goes, once. Nothing for an interrupted
// Prometheus file, which keeps the last finished measurement; nothing for
// text to standard output, which went out as the runs finished. False when
// the result could not be written.
bool writeResult(const Report& report, const Options& options, std::optional<OutputFile>& file)
{
    // A file the textfile collector reads keeps the last finished
    // measurement: a stop is no news about the share.
    const bool keepFile = report.outcome == Outcome::Interrupted && options.format == Format::Prometheus;
    const bool streamed = options.format == Format::Text && !file;
    if (keepFile || streamed)
        return true;
    try {
        const std::string text = resultText(report, options);
        // Whether a history already has its header is known only under its lock.
        const std::string header = options.format == Format::Csv ? csvHeader() : std::string();
        if (file)
            file->commit(text, header);
        else
            writeOut(header + text);
        return true;
    } catch (const std::exception& error) {
        say(error.what());
        return false;
    }
}

void finishReport(Report& report, std::chrono::steady_clock::time_point started)
{
    report.finishedAt = std::chrono::system_clock::now();
    report.duration = std::chrono::steady_clock::now() - started;
    if (report.measuredAll())
        report.lastSuccess = unixSeconds(report.finishedAt);
}

} // namespace

int runProgram(const std::vector<std::string>& args)
{
    CommandLine line;
    try {
        line = parseCommandLine(args);
    } catch (const UsageError& error) {
        say(error.what());
        writeErr("Try 'dozozeda-cli --help' for more information.\n");
        return 2;
    }
    if (line.request != CommandLine::Request::Run) {
        try {
            writeOut(line.request == CommandLine::Request::Help ? helpText() : versionText());
            return 0;
        } catch (const std::exception& error) {
            say(error.what());
            return 1;
        }
    }
    const Options& options = line.options;

    StopSignals signals;
    const auto started = std::chrono::steady_clock::now();
    const measure::TestPattern pattern = patternFor(options.pattern);
    Report report = newReport(options, pattern);
    std::optional<OutputFile> file;
    try {
        if (!options.output.empty())
            file.emplace(options.output, options.append ? OutputFile::Mode::Append : OutputFile::Mode::Replace,
                         report.host);
    } catch (const std::exception& error) {
        say(error.what());
        return 1;
    }
    // The collector's file is replaced whole by each run: when the last
    // success was is known only from what the previous run wrote there.
    if (file && options.format == Format::Prometheus)
        report.lastSuccess = lastSuccessIn(file->previous(), report);

    LastKnown lastKnown(report);
    Progress progress(!options.quiet && errorIsTerminal());
    // A call the share keeps blocked cannot be stopped; the result is then
    // written without it, naming what stays, and the program ends.
    const auto abandon = [&](const LimitReached& limit, bool interrupted) {
        Report last = lastKnown.report();
        std::string message = std::string(interrupted ? "interrupted; " : "") + limit.message
            + "; the share did not let go within " + std::to_string(options.stallSeconds)
            + " s more, so the program ended without waiting for it";
        // The unfinished result is what the result is written as.
        const std::string left = writtenFiles().describe("the unfinished result");
        if (!left.empty())
            message += ". Left behind: " + left + " (the next run into the same folders removes them)";
        // When a person's stop came first, the run stays interrupted.
        last.fail(interrupted ? Outcome::Interrupted : Outcome::Failed, lastKnown.stage(), message,
                  {limit.reason, std::nullopt});
        if (writtenFiles().contains("the copy"))
            last.copyRemoved = std::nullopt;
        last.localFileRemoved = !writtenFiles().contains("the local test file");
        finishReport(last, started);
        last.interruptedStatus = signals.exitStatus();
        progress.clear();
        say(message);
        writeResult(last, options, file);
        if (interrupted)
            signals.endAsInterrupted();
        std::_Exit(1);
    };
    Watchdog watchdog(signals.token(),
                      {options.timeoutSeconds > 0 ? std::optional(std::chrono::seconds(options.timeoutSeconds))
                                                  : std::nullopt,
                       std::chrono::seconds(options.stallSeconds)},
                      abandon);
    bool outputFailed = false;
    {
        Observer observer(progress, options, report, watchdog, lastKnown);
        runMeasurement(options, report, observer, file ? file->staleFiles() : StaleFiles{}, pattern,
                       watchdog.token());
        outputFailed = observer.outputFailed();
    }
    watchdog.finish();
    progress.clear();
    finishReport(report, started);
    if (report.outcome == Outcome::Interrupted)
        report.interruptedStatus = signals.exitStatus();
    outputFailed = !writeResult(report, options, file) || outputFailed;
    file.reset();
    signals.cleanedUp();
    if (report.outcome == Outcome::Interrupted)
        signals.endAsInterrupted();
    if (outputFailed && report.outcome == Outcome::Ok)
        return 1;
    return report.exitCode();
}

} // namespace cli
