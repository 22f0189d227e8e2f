#include "BenchSupport.h"

#include "CompactFont.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "Runtime.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cstdio>

namespace bench {

BenchApplication::BenchApplication(int& argc, char** argv)
    : QApplication(offscreenUnlessSet(argc), argv)
{
    setApplicationName(QStringLiteral("Dozozeda"));
    setQuitOnLastWindowClosed(false);
    qtlayer::useCompactFont();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    forms::useWindowingLayer(&m_layer);
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
    forms::setMessageBoxHandler(
        [this](const forms::MessageBoxCall& call) { boxes.append(QString::fromStdString(call.prompt)); });
    forms::setEndProgramHandler([](int) {});
    platform::setProgramFolderOverride(programFolder.toStdString());
    forms.form1.Show();
}

QString BenchWindows::testFile() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("dummyfile.dum"));
}

bool BenchWindows::writeTestFile(int megabytes)
{
    person->click(forms.form1, "Option" + std::to_string(megabytes / 10));
    clickCreate();
    return boxes.isEmpty() && QFileInfo(testFile()).size() == qint64{megabytes} * 1024 * 1024;
}

void BenchWindows::clickCreate()
{
    person->click(forms.form1, "Command1");
}

bool BenchWindows::openSpeedTest(const QString& target)
{
    if (!person->isShown(forms.form1, "Command2"))
        return false;
    person->click(forms.form1, "Command2");
    if (!person->isWindowShown(forms.form2))
        return false;
    person->type(forms.form2, "Text1", target.toStdString());
    return true;
}

void BenchWindows::clickCheckSpeed()
{
    person->click(forms.form2, "Command1");
}

std::optional<double> BenchWindows::lastRate()
{
    if (!boxes.isEmpty() || !forms.form2.Loaded())
        return std::nullopt;
    return reportedRate(QString::fromStdString(person->read(forms.form2, "Text2")));
}

} // namespace bench
