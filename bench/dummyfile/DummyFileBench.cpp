// bench_dummyfile [folder] [runs]
//
// Writes the 100 MB test file through the main window, clicking as a person
// would, and dd writing 100 MiB into the same folder, turn about, and prints
// the medians and their ratio. The program writes no faster than the disk,
// so dd's figure is the floor it is held against.

#include "BenchApplication.h"
#include "Forms.h"

#include "CompactFont.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "Runtime.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

constexpr std::uintmax_t fileBytes = 100ull * 1024 * 1024;

using Clock = std::chrono::steady_clock;

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

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::optional<double> timeDd(const QString& target)
{
    QProcess dd;
    dd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dd.setStandardOutputFile(QProcess::nullDevice());
    const auto start = Clock::now();
    dd.start(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + target,
                                    QStringLiteral("bs=1M"), QStringLiteral("count=100"), QStringLiteral("status=none")});
    if (!dd.waitForFinished(-1) || dd.exitStatus() != QProcess::NormalExit || dd.exitCode() != 0)
        return std::nullopt;
    return seconds(Clock::now() - start);
}

int fail(const char* what)
{
    std::fprintf(stderr, "bench_dummyfile: %s\n", what);
    return 1;
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
        return fail("usage: bench_dummyfile [folder] [runs]; the folder must exist");

    // A message box would wait for a click nobody makes; count it instead.
    QStringList boxes;
    platform::setMessageBoxHandler([&boxes](const platform::MessageBoxCall& call) { boxes.append(call.prompt); });
    platform::setEndProgramHandler([](int) {});
    platform::setProgramFolderOverride(folder.toStdString());
    const std::string ours = (folder + QStringLiteral("/dummyfile.dum")).toStdString();
    const QString ddTarget = folder + QStringLiteral("/x");

    Forms forms;
    forms.form1.Show();
    QWidget* window = forms.form1.widget();
    if (!QTest::qWaitForWindowExposed(window))
        return fail("the main window was never shown");
    auto* option = window->findChild<QRadioButton*>(QStringLiteral("Option10"));
    auto* create = window->findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* bar = window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    if (!option || !create || !bar)
        return fail("the main window lacks its controls");
    QTest::mouseClick(option, Qt::LeftButton);
    PaintCounter counter;
    bar->installEventFilter(&counter);

    std::printf("folder %s, %d runs of 100 MB each\n", qPrintable(folder), runs);
    std::printf("%4s %12s %12s %8s\n", "run", "ours [s]", "dd [s]", "paints");
    std::vector<double> oursTimes;
    std::vector<double> ddTimes;
    std::vector<double> paints;
    for (int run = 1; run <= runs; ++run) {
        QCoreApplication::processEvents();
        counter.paints = 0;
        const auto start = Clock::now();
        QTest::mouseClick(create, Qt::LeftButton);
        oursTimes.push_back(seconds(Clock::now() - start));
        paints.push_back(counter.paints);
        if (!boxes.isEmpty())
            return fail(qPrintable(QStringLiteral("the window reported: ") + boxes.first()));
        std::error_code error;
        if (std::filesystem::file_size(ours, error) != fileBytes)
            return fail("the test file does not have 100 MB");

        const auto dd = timeDd(ddTarget);
        if (!dd)
            return fail("dd failed");
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
    std::filesystem::remove(ours, ignored);
    std::filesystem::remove(ddTarget.toStdString(), ignored);
    return 0;
}
