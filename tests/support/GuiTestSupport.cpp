#include "GuiTestSupport.h"

#include "CompactFont.h"
#include "HandlerGuard.h"
#include "Runtime.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QTest>

#include <algorithm>
#include <filesystem>

namespace testsupport {

GuiTestEnvironment::GuiTestEnvironment()
{
    platform::setMessageBoxHandler([this](const platform::MessageBoxCall& call) { m_boxes.append(call); });
    platform::setEndProgramHandler([this](int status) { m_endStatus = status; });
    platform::setProgramFolderOverride(m_folder.path());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

GuiTestEnvironment::~GuiTestEnvironment()
{
    platform::setMessageBoxHandler(nullptr);
    platform::setEndProgramHandler([](int status) { QCoreApplication::exit(status); });
    platform::setProgramFolderOverride(std::nullopt);
}

QStringList GuiTestEnvironment::messages() const
{
    QStringList shown;
    for (const auto& box : m_boxes)
        shown << describe(box);
    return shown;
}

QString describe(const platform::MessageBoxCall& box)
{
    return QStringLiteral("%1 (%2): %3").arg(box.title).arg(box.style).arg(box.prompt);
}

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Dozozeda"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::useCompactFont();
}

std::chrono::nanoseconds TestClock::now() const
{
    const int index = m_readings++;
    const auto reading = m_step ? *m_step * index : m_real.now();
    if (const auto action = atReading.find(index); action != atReading.end())
        action->second();
    return reading;
}

SpeedTestSession::SpeedTestSession(std::optional<std::chrono::nanoseconds> step, std::chrono::nanoseconds resolution)
    : clock(step, resolution)
{
    forms.form1.Show();
}

bool SpeedTestSession::start(int megabytes)
{
    QTest::mouseClick(control(forms.form1, QStringLiteral("Option%1").arg(megabytes / 10)), Qt::LeftButton);
    QTest::mouseClick(control(forms.form1, QStringLiteral("Command1")), Qt::LeftButton);
    std::error_code missing;
    return std::filesystem::file_size(testFile(), missing) == static_cast<std::uintmax_t>(megabytes * kMegabyte)
        && openSpeedTest();
}

bool SpeedTestSession::openSpeedTest()
{
    auto* testNetwork = control(forms.form1, QStringLiteral("Command2"));
    if (!testNetwork || !testNetwork->isVisible())
        return false;
    QTest::mouseClick(testNetwork, Qt::LeftButton);
    return forms.form2.isLoaded() && forms.form2.widget()->isVisible();
}

void SpeedTestSession::typeTarget(const QString& text)
{
    QTest::keyClick(targetBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(targetBox(), Qt::Key_Delete);
    QTest::keyClicks(targetBox(), text);
}

void SpeedTestSession::clickCheckSpeed()
{
    QTest::mouseClick(control(forms.form2, QStringLiteral("Command1")), Qt::LeftButton);
}

QRgb SpeedTestSession::statusColour() const
{
    const auto* picture = control<QLabel>(forms.form2, QStringLiteral("Image3"));
    return picture && !picture->pixmap().isNull() ? picture->pixmap().toImage().pixel(0, 0) : 0;
}

QString errorBox(const QString& prompt)
{
    return QStringLiteral("Error! (16): ") + prompt;
}

QString reportStart(int run)
{
    return QStringLiteral("Transfer:%1\r\nTransfering file...please wait..\r\n").arg(run);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool isTestFileContent(const std::string& path, std::int64_t size)
{
    std::error_code error;
    if (std::filesystem::file_size(path, error) != static_cast<std::uintmax_t>(size) || error)
        return false;
    const std::string content = readFile(path);
    return std::all_of(content.begin(), content.end(), [](char c) { return c == 'X'; });
}

} // namespace testsupport
