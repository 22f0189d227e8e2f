// bench_copy [target folder] [runs]
//
// Writes the 100 MB test file through the main window, then clicks "Check
// speed" in the speed-test window, turn about with cp + sync and with dd
// copying the same file into the same folder, each durable on the disk and
// removed again like the program's copy. Prints the medians, the ratio of
// our time to each baseline, how far the rate the window reports lies from
// the rate seen from outside the click, and the peak memory of the process.

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>
#include <vector>

#include <sys/resource.h>

using namespace bench;

namespace {

constexpr double fileMegabytes = 100.0;

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

struct BaselineTime {
    double total = 0;
    double removal = 0;
};

// Runs the commands one after the other, then removes `copy` as the program
// removes its own, timing all of it and the removal on its own.
std::optional<BaselineTime> timeBaseline(const std::vector<std::pair<QString, QStringList>>& commands,
                                         const QString& copy)
{
    const auto start = Clock::now();
    for (const auto& [program, arguments] : commands) {
        if (!run(program, arguments))
            return std::nullopt;
    }
    const auto removing = Clock::now();
    if (!QFile::remove(copy))
        return std::nullopt;
    const auto end = Clock::now();
    return BaselineTime{seconds(end - start), seconds(end - removing)};
}

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

} // namespace

int main(int argc, char* argv[])
{
    BenchApplication app(argc, argv);

    const QStringList args = QApplication::arguments();
    QTemporaryDir programFolder(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/program-XXXXXX"));
    QTemporaryDir scratchTarget(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/target-XXXXXX"));
    const QString target = args.size() > 1 && !args[1].isEmpty() ? QDir(args[1]).absolutePath() : scratchTarget.path();
    const int runs = args.size() > 2 ? args[2].toInt() : 5;
    if (!programFolder.isValid() || target.isEmpty() || !QDir(target).exists() || runs < 1)
        return fail(QStringLiteral("usage: bench_copy [target folder] [runs]; the folder must exist"));

    BenchWindows windows(programFolder.path());
    const QString testFile = windows.testFile();
    const QString ourCopy = target + QStringLiteral("/dummyfile.dum");
    const QString baselineCopy = target + QStringLiteral("/x");
    if (!windows.writeTestFile(100))
        return fail(QStringLiteral("the test file was not written: ") + windows.boxes.join(QLatin1Char(' ')));
    // The fresh file's own write-back must not compete with the first copies.
    if (!run(QStringLiteral("sync"), {testFile}))
        return fail(QStringLiteral("sync failed"));
    if (!windows.openSpeedTest(target))
        return fail(QStringLiteral("the speed-test window did not open"));

    const auto clickCheckSpeed = [&]() -> std::optional<std::pair<double, double>> {
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        windows.clickCheckSpeed();
        const double elapsed = seconds(Clock::now() - start);
        const auto rate = windows.lastRate();
        if (!rate || QFile::exists(ourCopy))
            return std::nullopt;
        return std::pair{elapsed, *rate};
    };
    const auto timeCp = [&] {
        return timeBaseline({{QStringLiteral("cp"), {QStringLiteral("--"), testFile, baselineCopy}},
                             {QStringLiteral("sync"), {QStringLiteral("--"), baselineCopy}}},
                            baselineCopy);
    };
    const auto timeDd = [&] {
        return timeBaseline({{QStringLiteral("dd"), {QStringLiteral("if=") + testFile, QStringLiteral("of=") + baselineCopy,
                                                     QStringLiteral("bs=1M"), QStringLiteral("conv=fsync"),
                                                     QStringLiteral("status=none")}}},
                            baselineCopy);
    };

    // One round unrecorded, so that every recorded round finds the same caches.
    if (!clickCheckSpeed() || !timeCp() || !timeDd())
        return fail(QStringLiteral("the warm-up round failed: ") + windows.boxes.join(QLatin1Char(' ')));

    std::printf("target %s, %d runs of 100 MB each, turn about\n", qPrintable(target), runs);
    std::printf("%4s %9s %9s %9s %9s %14s %14s %8s\n", "run", "ours [s]", "cp [s]", "dd [s]", "rm [s]",
                "reported MB/s", "external MB/s", "diff %");
    std::vector<double> ours, cp, dd, removal, reported, external, difference, differenceLessRemoval;
    for (int round = 1; round <= runs; ++round) {
        std::optional<std::pair<double, double>> click;
        std::optional<BaselineTime> cpTime, ddTime;
        // Alternating who goes first cancels a drift in the disk's speed.
        if (round % 2) {
            click = clickCheckSpeed();
            cpTime = timeCp();
            ddTime = timeDd();
        } else {
            ddTime = timeDd();
            cpTime = timeCp();
            click = clickCheckSpeed();
        }
        if (!click)
            return fail(QStringLiteral("the speed test failed: ") + windows.boxes.join(QLatin1Char(' ')));
        if (!cpTime || !ddTime)
            return fail(QStringLiteral("a baseline copy failed"));
        ours.push_back(click->first);
        cp.push_back(cpTime->total);
        dd.push_back(ddTime->total);
        removal.push_back((cpTime->removal + ddTime->removal) / 2);
        reported.push_back(click->second);
        external.push_back(fileMegabytes / click->first);
        difference.push_back((reported.back() - external.back()) / external.back() * 100);
        const double lessRemoval = fileMegabytes / (click->first - removal.back());
        differenceLessRemoval.push_back((reported.back() - lessRemoval) / lessRemoval * 100);
        std::printf("%4d %9.3f %9.3f %9.3f %9.3f %14.1f %14.1f %8.2f\n", round, ours.back(), cp.back(), dd.back(),
                    removal.back(), reported.back(), external.back(), difference.back());
    }

    // What starting one external program costs; the baselines pay it per command.
    std::vector<double> starts;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run(QStringLiteral("true"), {});
        starts.push_back(seconds(Clock::now() - start));
    }

    const double oursMedian = median(ours);
    const double cpMedian = median(cp);
    const double ddMedian = median(dd);
    const double startMedian = median(starts);
    std::printf("median ours %.3f s (%.0f MB/s), cp+sync %.3f s (%.0f MB/s), dd %.3f s (%.0f MB/s)\n", oursMedian,
                fileMegabytes / oursMedian, cpMedian, fileMegabytes / cpMedian, ddMedian, fileMegabytes / ddMedian);
    std::printf("ratio ours/cp+sync %.3f, ours/dd %.3f (goal: at most 1.05)\n", oursMedian / cpMedian,
                oursMedian / ddMedian);
    std::printf("  starting a program costs %.1f ms; without it: ours/cp+sync %.3f, ours/dd %.3f\n",
                startMedian * 1000, oursMedian / (cpMedian - 2 * startMedian), oursMedian / (ddMedian - startMedian));
    // The window times the copy alone; the click also removes the copy, which
    // on a local disk costs as much as the baselines' removal shows.
    std::printf("reported rate against the click seen from outside: median %+.2f %% (goal: within 2 %%)\n",
                median(difference));
    std::printf("  removing a copy costs %.1f ms; against the click less that: median %+.2f %%\n",
                median(removal) * 1000, median(differenceLessRemoval));
    std::printf("peak resident memory %.1f MB (goal: under 50 MB)\n", peakResidentMegabytes());
    return 0;
}
