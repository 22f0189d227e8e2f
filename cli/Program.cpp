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
#include "StopSignals.h"
#include "System.h"

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
    report.host = hostName();
    report.os = operatingSystem();
    report.startedAt = std::chrono::system_clock::now();
    report.target = platform::withoutPassword(options.target);
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

// Progress while a step runs; each run's line once it is done, when the
// text goes to a terminal or a pipe as it is made.
class Observer : public RunObserver {
public:
    Observer(Progress& progress, const Options& options, const Report& report)
        : m_progress(progress)
        , m_options(options)
        , m_report(report)
        , m_streaming(options.format == Format::Text && options.output.empty() && !options.quiet)
    {
    }

    void begin()
    {
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
        m_progress.show((warmup ? "warm-up run " : "run ") + std::to_string(run) + " of " + std::to_string(total)
                        + ": " + (direction == Direction::Write ? "writing" : "reading") + " "
                        + (m_options.streams > 1 ? std::to_string(m_options.streams) + " x " : "")
                        + std::to_string(m_options.sizeMiB) + " MiB");
    }

    void stepFinished(const RunResult& result) override
    {
        m_progress.clear();
        if (m_streaming)
            out(textRunColumns(result, m_report, m_options.units) + textRunLine(result, m_options.units)
                + textRunDetails(result, m_report, m_options.units));
    }

    void phaseStarted(int run, int total, Workload test, std::string_view phase, bool warmup) override
    {
        m_progress.show((warmup ? "warm-up run " : "run ") + std::to_string(run) + " of " + std::to_string(total)
                        + ": " + std::string(name(test)) + ", " + std::string(phase));
    }

    void workloadFinished(const WorkloadRun& result) override
    {
        m_progress.clear();
        if (m_streaming)
            out(textWorkloadRun(result, m_options.units));
    }

    void problem(const std::string& message) override
    {
        m_progress.clear();
        say(message);
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
        const std::string problem = std::string(kPathError) + "\n" + error.what();
        report.fail(Outcome::Failed, "precheck", problem);
        observer.problem(problem);
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
    try {
        report.fileSystem = platform::fileSystemOf(target);
        const std::string quoted = platform::quotedPath(report.target);
        if (options.requireNetwork && !report.fileSystem->network)
            problem = quoted + " is on a local file system (" + report.fileSystem->type
                + "), not a network share: the share is not mounted there (any more). Mount it, or leave out "
                  "--require-network to measure a local folder";
        else if (options.requireNetwork && !report.fileSystem->device.empty()
                 && report.fileSystem->device == platform::fileSystemOf(temporary).device)
            problem = quoted + " is on the same device as the local test file (" + report.fileSystem->type
                + "), so the copy would not cross a network. Set TMPDIR to a folder on a local disk, or leave out "
                  "--require-network";
    } catch (const std::exception& error) {
        if (!options.requireNetwork)
            return true;
        problem = std::string("cannot tell what file system the target is on, which --require-network needs: ")
            + error.what();
    }
    if (problem.empty())
        return true;
    report.fail(Outcome::Failed, "precheck", problem);
    observer.problem(problem);
    return false;
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

void runMeasurement(const Options& options, Report& report, Observer& observer,
                    const measure::TestPattern& pattern, std::stop_token stop)
{
    const auto target = findTarget(options.target, report, observer);
    const platform::ResolvedPath temporary = platform::ResolvedPath::fromSystem(temporaryFolder());
    if (!target || !checkFileSystem(*target, temporary, options, report, observer))
        return;
    // The tests of many small operations copy nothing from this machine.
    std::optional<LocalTestFile> local;
    try {
        if (report.write)
            local.emplace(temporary, report.fileBytes, pattern, stop);
    } catch (const platform::Cancelled&) {
        report.fail(Outcome::Interrupted, "precheck", "interrupted while the local test file was written");
        return;
    } catch (const std::exception& error) {
        const std::string message = std::string("cannot write the local test file: ") + error.what();
        report.fail(Outcome::Failed, "precheck", message);
        observer.problem(message);
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
    std::optional<OutputFile> file;
    try {
        if (!options.output.empty())
            file.emplace(options.output, options.append ? OutputFile::Mode::Append : OutputFile::Mode::Replace);
    } catch (const std::exception& error) {
        say(error.what());
        return 1;
    }

    const measure::TestPattern pattern = patternFor(options.pattern);
    Report report = newReport(options, pattern);
    bool outputFailed = false;
    {
        Progress progress(!options.quiet && errorIsTerminal());
        Observer observer(progress, options, report);
        runMeasurement(options, report, observer, pattern, signals.token());
        outputFailed = observer.outputFailed();
    }
    report.finishedAt = std::chrono::system_clock::now();

    // A file the textfile collector reads keeps the last finished
    // measurement: a stop is no news about the share.
    const bool keepFile = report.outcome == Outcome::Interrupted && options.format == Format::Prometheus;
    // Text for standard output went out as the runs finished (or, quiet, not at all).
    const bool streamed = options.format == Format::Text && !file;
    if (!keepFile && !streamed) {
        try {
            const std::string text = resultText(report, options);
            // Whether a history already has its header is known only under its lock.
            const std::string header = options.format == Format::Csv ? csvHeader() : std::string();
            if (file)
                file->commit(text, header);
            else
                writeOut(header + text);
        } catch (const std::exception& error) {
            say(error.what());
            outputFailed = true;
        }
    }
    file.reset();
    signals.cleanedUp();
    if (report.outcome == Outcome::Interrupted)
        signals.endAsInterrupted();
    if (outputFailed && report.outcome == Outcome::Ok)
        return 1;
    return exitCode(report.outcome);
}

} // namespace cli
