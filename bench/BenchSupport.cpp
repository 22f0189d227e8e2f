#include "BenchSupport.h"

#include "CompactFont.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "Runtime.h"
#include "TextControls.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace bench {

BenchApplication::BenchApplication(int& argc, char** argv)
    : QApplication(offscreenUnlessSet(argc), argv)
{
    setApplicationName(QStringLiteral("Dozozeda"));
    setQuitOnLastWindowClosed(false);
    platform::useCompactFont();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

int& BenchApplication::offscreenUnlessSet(int& argc)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
}

double seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int fail(const QString& what)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                 qPrintable(what));
    return 1;
}

std::optional<double> reportedRate(const QString& report)
{
    const QString label = QStringLiteral("MB/sec:");
    const QStringList lines = report.split(QStringLiteral("\r\n"));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->startsWith(label)) {
            bool ok = false;
            const double rate = QLocale().toDouble(line->mid(label.size()), &ok);
            return ok ? std::optional(rate) : std::nullopt;
        }
    }
    return std::nullopt;
}

BenchWindows::BenchWindows(const QString& programFolder)
    : m_programFolder(programFolder)
{
    platform::setMessageBoxHandler([this](const platform::MessageBoxCall& call) { boxes.append(call.prompt); });
    platform::setEndProgramHandler([](int) {});
    platform::setProgramFolderOverride(programFolder.toStdString());
    forms.form1.Show();
}

QString BenchWindows::testFile() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("dummyfile.dum"));
}

bool BenchWindows::writeTestFile(int megabytes)
{
    auto* option = control<QRadioButton>(forms.form1, QStringLiteral("Option%1").arg(megabytes / 10));
    if (!option || !QTest::qWaitForWindowExposed(forms.form1.widget()))
        return false;
    QTest::mouseClick(option, Qt::LeftButton);
    clickCreate();
    return boxes.isEmpty() && QFileInfo(testFile()).size() == qint64{megabytes} * 1024 * 1024;
}

void BenchWindows::clickCreate()
{
    QTest::mouseClick(control<QPushButton>(forms.form1, QStringLiteral("Command1")), Qt::LeftButton);
}

bool BenchWindows::openSpeedTest(const QString& target)
{
    auto* testNetwork = control<QPushButton>(forms.form1, QStringLiteral("Command2"));
    if (!testNetwork || testNetwork->isHidden())
        return false;
    QTest::mouseClick(testNetwork, Qt::LeftButton);
    auto* targetBox = control<QLineEdit>(forms.form2, QStringLiteral("Text1"));
    if (!targetBox || !QTest::qWaitForWindowExposed(forms.form2.widget()))
        return false;
    QTest::keyClicks(targetBox, target);
    return true;
}

void BenchWindows::clickCheckSpeed()
{
    QTest::mouseClick(control<QPushButton>(forms.form2, QStringLiteral("Command1")), Qt::LeftButton);
}

std::optional<double> BenchWindows::lastRate()
{
    auto* report = control<QPlainTextEdit>(forms.form2, QStringLiteral("Text2"));
    if (!boxes.isEmpty() || !report)
        return std::nullopt;
    return reportedRate(platform::Text(report));
}

} // namespace bench
