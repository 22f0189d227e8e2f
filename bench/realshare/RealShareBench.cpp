// bench_realshare [repeats]
//
// How close the rate the speed-test window reports comes to what the link
// can carry. For each shaped rate and file size it runs "Check speed"
// through the real windows (reading MB/sec from the report) and dd copying
// the same file into the same share with 1 MiB blocks and a final flush,
// turn about, and prints the medians, their ratio (also taken run by run
// against the dd run beside it) and the share of the shaped rate. dd, which
// writes the way a careful copier does, is the baseline; the shaped rate is
// the ceiling no copy reaches (SMB and TCP/IP headers take about 4.5 % of it).
//
// Run it through run.sh, which serves the share and passes its folders and
// state in the environment (SHARE_DATA, DOZOZEDA_SHARE_STATE).

#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

using namespace bench;

namespace {

constexpr int kRatesMbit[] = {100, 400};
constexpr int kSizesMegabytes[] = {10, 100};
constexpr double kMegabyte = 1024 * 1024;

bool shareControl(const QStringList& args)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(DOZOZEDA_SHARE_SCRIPT), args);
    if (!script.waitForFinished(60'000)) {
        script.kill();
        script.waitForFinished(5'000);
        return false;
    }
    return script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

struct DdTimes {
    // What dd reports: from after it opened the files to after the flush
    // and close. Like the window's figure, it leaves out starting a program.
    double own;
    // Around the whole process, for comparison.
    double wall;
};

std::optional<DdTimes> ddSeconds(const QString& source, const QString& target)
{
    QProcess dd;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    dd.setProcessEnvironment(environment);
    dd.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    dd.start(QStringLiteral("dd"), {QStringLiteral("if=") + source, QStringLiteral("of=") + target,
                                    QStringLiteral("bs=1M"), QStringLiteral("conv=fsync")});
    if (!dd.waitForFinished(120'000)) {
        dd.kill();
        dd.waitForFinished(5'000);
        return std::nullopt;
    }
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const QString summary = QString::fromLocal8Bit(dd.readAllStandardError());
    if (dd.exitStatus() != QProcess::NormalExit || dd.exitCode() != 0) {
        std::fprintf(stderr, "%s", qPrintable(summary));
        return std::nullopt;
    }
    const auto match = QRegularExpression(QStringLiteral(R"(copied, ([0-9.]+) s,)")).match(summary);
    bool ok = false;
    const double own = match.hasMatch() ? match.captured(1).toDouble(&ok) : 0;
    if (!ok || own <= 0)
        return std::nullopt;
    return DdTimes{own, wall};
}

} // namespace

int main(int argc, char* argv[])
{
    BenchApplication app(argc, argv);

    const QString state = qEnvironmentVariable("DOZOZEDA_SHARE_STATE");
    const QString data = qEnvironmentVariable("SHARE_DATA");
    if (state.isEmpty() || data.isEmpty())
        return fail(QStringLiteral("no share in the environment; run this program through run.sh"));
    const QStringList args = QApplication::arguments();
    const int repeats = args.size() > 1 ? args[1].toInt() : 3;
    if (repeats < 1)
        return fail(QStringLiteral("usage: bench_realshare [repeats]"));

    QTemporaryDir programFolder;
    if (!programFolder.isValid())
        return fail(QStringLiteral("no temporary folder"));
    BenchWindows windows(programFolder.path());
    const QString testFile = windows.testFile();
    const QString ddTarget = data + QStringLiteral("/x");
    if (!windows.writeTestFile(kSizesMegabytes[0]) || !windows.openSpeedTest(data))
        return fail(QStringLiteral("the windows did not start: ") + windows.boxes.join(QLatin1Char(' ')));

    std::printf("share %s, %d repeats per cell, Dozozeda and dd taking turns\n", qPrintable(data), repeats);
    std::printf("%6s %5s %10s %10s %10s %8s %8s %10s\n", "Mbit/s", "MB", "shaped", "dd", "Dozozeda", "Doz/dd",
                "paired", "Doz/shaped");
    struct Cell {
        int rate;
        int size;
        double shaped;
        double dd;
        double ours;
        double paired;
    };
    std::vector<Cell> cells;
    for (const int rate : kRatesMbit) {
        if (!shareControl({QStringLiteral("rate"), state, QString::number(rate)}))
            return fail(QStringLiteral("cannot shape the link to %1 Mbit/s").arg(rate));
        const double shaped = rate * 1e6 / 8 / kMegabyte;
        for (const int size : kSizesMegabytes) {
            if (!windows.writeTestFile(size))
                return fail(QStringLiteral("the %1 MB test file was not written").arg(size));

            std::vector<double> ours;
            std::vector<double> dd;
            std::vector<double> ddWall;
            for (int repeat = 0; repeat < repeats; ++repeat) {
                // Alternating who goes first keeps a drift in the machine's
                // load from favouring either side.
                for (int turn = 0; turn < 2; ++turn) {
                    if ((turn == 0) == (repeat % 2 == 0)) {
                        windows.clickCheckSpeed();
                        const auto reported = windows.lastRate();
                        if (!reported)
                            return fail(QStringLiteral("no MB/sec after the run: ") + windows.boxes.join(QLatin1Char(' ')));
                        ours.push_back(*reported);
                    } else {
                        const auto seconds = ddSeconds(testFile, ddTarget);
                        if (!seconds || !QFile::remove(ddTarget))
                            return fail(QStringLiteral("dd failed"));
                        dd.push_back(size / seconds->own);
                        ddWall.push_back(size / seconds->wall);
                    }
                }
            }
            // Each run against the dd run beside it: a change in the machine's
            // load between repeats then cancels out.
            std::vector<double> pairs;
            for (std::size_t i = 0; i < ours.size(); ++i)
                pairs.push_back(ours[i] / dd[i]);
            const Cell cell{rate, size, shaped, median(dd), median(ours), median(pairs)};
            cells.push_back(cell);
            std::printf("%6d %5d %10.2f %10.2f %10.2f %8.3f %8.3f %10.3f   (Dozozeda", rate, size, shaped, cell.dd,
                        cell.ours, cell.ours / cell.dd, cell.paired, cell.ours / shaped);
            for (const double r : ours)
                std::printf(" %.2f", r);
            std::printf("; dd");
            for (const double r : dd)
                std::printf(" %.2f", r);
            std::printf("; dd around the process");
            for (const double r : ddWall)
                std::printf(" %.2f", r);
            std::printf(")\n");
            std::fflush(stdout);
        }
    }

    std::printf("\n| link (Mbit/s) | file (MB) | shaped (MB/s) | dd (MB/s) | Dozozeda (MB/s) | Dozozeda ÷ dd | "
                "paired ÷ | Dozozeda ÷ shaped |\n|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    bool met = true;
    for (const Cell& cell : cells) {
        std::printf("| %d | %d | %.2f | %.2f | %.2f | %.3f | %.3f | %.3f |\n", cell.rate, cell.size, cell.shaped,
                    cell.dd, cell.ours, cell.ours / cell.dd, cell.paired, cell.ours / cell.shaped);
        met = met && std::abs(cell.ours / cell.dd - 1) <= 0.03 && cell.ours / cell.shaped >= 0.92;
    }
    std::printf("\ngoals: within 3 %% of dd and at least 0.92 x the shaped rate in every cell: %s\n",
                met ? "met" : "NOT met");
    std::printf("MB = 2^20 bytes; dd's rate from its own time; medians of %d; paired = median of each run "
                "over the dd run beside it\n",
                repeats);
    return 0;
}
