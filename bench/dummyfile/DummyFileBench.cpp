// bench_dummyfile [folder] [runs]
//
// Writes the 100 MB test file through the main window, clicking as a person
// would, and dd writing 100 MiB into the same folder, turn about, and prints
// the medians and their ratio. The program writes no faster than the disk,
// so dd's own reported time is the floor it is held against. Run it under a
// real X server too (xvfb-run, QT_QPA_PLATFORM=xcb, accessibility on): that
// is where painting the bar costs something.

#include "BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QProgressBar>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

using namespace bench;

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The time dd reports for its own copy ("..., 0.0171 s, 6.1 GB/s"), which
// leaves out starting the process.
std::optional<double> timeDd(const QString& target)
{
    QProcess dd;
    dd.setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    dd.setProcessEnvironment(environment);
    dd.start(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + target,
                                    QStringLiteral("bs=1M"), QStringLiteral("count=100")},
             QIODevice::ReadOnly);
    if (!dd.waitForFinished(-1) || dd.exitStatus() != QProcess::NormalExit || dd.exitCode() != 0)
        return std::nullopt;
    const QRegularExpression reported(QStringLiteral(", ([0-9.]+) s, "));
    const QRegularExpressionMatch match = reported.match(QString::fromLocal8Bit(dd.readAllStandardError()));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

} // namespace

int main(int argc, char* argv[])
{
    BenchApplication app(argc, argv);

    const QStringList args = QApplication::arguments();
    QTemporaryDir scratch(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/run-XXXXXX"));
    const QString folder = args.size() > 1 ? QDir(args[1]).absolutePath() : scratch.path();
    const int runs = args.size() > 2 ? args[2].toInt() : 5;
    if (folder.isEmpty() || !QDir(folder).exists() || runs < 1)
        return fail(QStringLiteral("usage: bench_dummyfile [folder] [runs]; the folder must exist"));

    BenchWindows windows(folder);
    const QString ddTarget = folder + QStringLiteral("/x");
    auto* bar = windows.control<QProgressBar>(windows.forms.form1, QStringLiteral("ProgressBar1"));
    if (!bar || !windows.writeTestFile(100))
        return fail(QStringLiteral("the first write failed: ") + windows.boxes.join(QLatin1Char(' ')));
    PaintCounter counter;
    bar->installEventFilter(&counter);

    std::printf("folder %s, %d runs of 100 MB each\n", qPrintable(folder), runs);
    std::printf("%4s %12s %12s %8s\n", "run", "ours [s]", "dd [s]", "paints");
    std::vector<double> oursTimes;
    std::vector<double> ddTimes;
    std::vector<double> paints;
    for (int run = 1; run <= runs; ++run) {
        // Both write a new file: dd starts its clock after it has opened (and
        // so emptied) its file, and emptying 100 MB on a disk costs as much
        // as writing them.
        QFile::remove(windows.testFile());
        QFile::remove(ddTarget);
        QCoreApplication::processEvents();
        counter.paints = 0;
        const auto start = Clock::now();
        windows.clickCreate();
        oursTimes.push_back(seconds(Clock::now() - start));
        paints.push_back(counter.paints);
        if (!windows.boxes.isEmpty())
            return fail(QStringLiteral("the window reported: ") + windows.boxes.first());
        if (QFileInfo(windows.testFile()).size() != 100 * 1024 * 1024)
            return fail(QStringLiteral("the test file does not have 100 MB"));

        const auto dd = timeDd(ddTarget);
        if (!dd)
            return fail(QStringLiteral("dd failed"));
        ddTimes.push_back(*dd);
        std::printf("%4d %12.3f %12.3f %8d\n", run, oursTimes.back(), ddTimes.back(), counter.paints);
    }
    bar->removeEventFilter(&counter);

    const double oursMedian = median(oursTimes);
    const double ddMedian = median(ddTimes);
    std::printf("median ours %.3f s (%.0f MB/s), dd %.3f s (%.0f MB/s)\n", oursMedian, 100 / oursMedian, ddMedian,
                100 / ddMedian);
    std::printf("ratio ours/dd %.2f (goal: at most 1.50)\n", oursMedian / ddMedian);
    std::printf("paints of the progress bar per click: median %.0f\n", median(paints));

    std::error_code ignored;
    std::filesystem::remove(windows.testFile().toStdString(), ignored);
    std::filesystem::remove(ddTarget.toStdString(), ignored);
    return 0;
}
