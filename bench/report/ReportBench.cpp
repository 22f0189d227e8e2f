// bench_report [clicks]
//
// Clicks "Check speed" (10 MB into a local folder) with the report of 10
// earlier runs in the box and with the report of 5,000, once with the view
// at the top of the report and once at its bottom, and prints each median
// and the ratio long/short. Appending a run's lines must cost the same
// however much the box already holds.

#include "BenchSupport.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace bench;

namespace {

constexpr int kShortReport = 10;
constexpr int kLongReport = 5000;

} // namespace

int main(int argc, char* argv[])
{
    BenchApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const int clicks = args.size() > 1 ? args[1].toInt() : 15;
    QTemporaryDir programFolder(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/program-XXXXXX"));
    QTemporaryDir target(QStringLiteral(DOZOZEDA_BENCH_FOLDER "/target-XXXXXX"));
    if (!programFolder.isValid() || !target.isValid() || clicks < 1)
        return fail(QStringLiteral("usage: bench_report [clicks]"));

    BenchWindows windows(programFolder.path());
    if (!windows.writeTestFile(10) || !windows.openSpeedTest(target.path()))
        return fail(QStringLiteral("the windows did not start: ") + windows.boxes.join(QLatin1Char(' ')));
    auto* report = windows.control<QPlainTextEdit>(windows.forms.form2, QStringLiteral("Text2"));
    windows.clickCheckSpeed();
    if (!windows.lastRate())
        return fail(QStringLiteral("the first run failed: ") + windows.boxes.join(QLatin1Char(' ')));
    // What one run leaves in the box; earlier runs are stood in for by copies.
    const QString oneRun = report->toPlainText();

    const auto medianClick = [&](int runsBefore, bool atBottom) {
        report->setPlainText(oneRun.repeated(runsBefore));
        std::vector<double> times;
        for (int i = 0; i < clicks; ++i) {
            QScrollBar* scroll = report->verticalScrollBar();
            scroll->setValue(atBottom ? scroll->maximum() : 0);
            QCoreApplication::processEvents();
            const auto start = Clock::now();
            windows.clickCheckSpeed();
            times.push_back(seconds(Clock::now() - start));
        }
        return median(times);
    };

    std::printf("%d clicks each, 10 MB into %s\n", clicks, qPrintable(target.path()));
    std::printf("%8s %12s %12s %8s\n", "view", "10 runs [s]", "5000 runs [s]", "ratio");
    for (const bool atBottom : {false, true}) {
        const double shortReport = median({medianClick(kShortReport, atBottom), medianClick(kShortReport, atBottom)});
        const double longReport = medianClick(kLongReport, atBottom);
        if (!windows.boxes.isEmpty())
            return fail(QStringLiteral("a run failed: ") + windows.boxes.join(QLatin1Char(' ')));
        std::printf("%8s %12.4f %12.4f %8.2f (goal: at most 1.20)\n", atBottom ? "bottom" : "top", shortReport,
                    longReport, longReport / shortReport);
    }
    return 0;
}
