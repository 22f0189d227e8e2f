#include "SpeedTestSession.h"

#include "TempFolder.h"
#include "TextControls.h"

#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace speedtest {

namespace {

const QRgb idleGreen = qRgb(76, 255, 5);
const QRgb busyRed = qRgb(255, 45, 17);

template <typename Control>
Control* control(const platform::Window& window, const char* name)
{
    QWidget* widget = window.widget();
    return widget ? widget->findChild<Control*>(QLatin1String(name)) : nullptr;
}

} // namespace

FakeClock::FakeClock(std::chrono::nanoseconds step, std::chrono::nanoseconds resolution)
    : m_step(step)
    , m_resolution(resolution)
{
}

std::chrono::nanoseconds FakeClock::now() const
{
    const int index = m_readings++;
    if (const auto action = m_actions.find(index); action != m_actions.end())
        action->second();
    return m_step * index;
}

std::chrono::nanoseconds FakeClock::resolution() const
{
    return m_resolution;
}

void FakeClock::atReading(int index, std::function<void()> action)
{
    m_actions[index] = std::move(action);
}

SpeedTestSession::SpeedTestSession(std::chrono::nanoseconds step, std::chrono::nanoseconds resolution)
    : m_clock(step, resolution)
{
    forms.form1.Show();
}

bool SpeedTestSession::writeTestFile()
{
    auto* tenMegabytes = control<QRadioButton>(forms.form1, "Option1");
    auto* create = control<QPushButton>(forms.form1, "Command1");
    if (!tenMegabytes || !create)
        return false;
    QTest::mouseClick(tenMegabytes, Qt::LeftButton);
    QTest::mouseClick(create, Qt::LeftButton);
    return fileSize(testFile()) == kTenMegabytes;
}

bool SpeedTestSession::openSpeedTest()
{
    auto* testNetwork = control<QPushButton>(forms.form1, "Command2");
    if (!testNetwork || !testNetwork->isVisible())
        return false;
    QTest::mouseClick(testNetwork, Qt::LeftButton);
    return forms.form2.isLoaded() && forms.form2.widget()->isVisible();
}

void SpeedTestSession::typeTarget(const QString& text)
{
    QLineEdit* box = targetBox();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void SpeedTestSession::clickCheckSpeed()
{
    QTest::mouseClick(control<QPushButton>(forms.form2, "Command1"), Qt::LeftButton);
}

void SpeedTestSession::closeSpeedTest()
{
    forms.form2.widget()->close();
}

QLineEdit* SpeedTestSession::targetBox() const
{
    return control<QLineEdit>(forms.form2, "Text1");
}

QPlainTextEdit* SpeedTestSession::reportBox() const
{
    return control<QPlainTextEdit>(forms.form2, "Text2");
}

QString SpeedTestSession::report() const
{
    return platform::Text(reportBox());
}

QRgb SpeedTestSession::statusColour() const
{
    const auto* picture = control<QLabel>(forms.form2, "Image3");
    if (!picture || picture->pixmap().isNull())
        return 0;
    return picture->pixmap().toImage().pixel(0, 0);
}

bool SpeedTestSession::showsBusyPicture() const
{
    return statusColour() == busyRed;
}

bool SpeedTestSession::showsIdlePicture() const
{
    return statusColour() == idleGreen;
}

QStringList SpeedTestSession::messages() const
{
    QStringList shown;
    for (const auto& box : env.messageBoxes())
        shown << describe(box);
    return shown;
}

QString describe(const platform::MessageBoxCall& box)
{
    return QStringLiteral("%1 (%2): %3").arg(box.title).arg(box.style).arg(box.prompt);
}

QString errorBox(const QString& prompt)
{
    return QStringLiteral("Error! (16): ") + prompt;
}

QString reportStart(int run)
{
    return QStringLiteral("Transfer:%1\r\nTransfering file...please wait..\r\n").arg(run);
}

QString reportBlock(int run)
{
    return reportStart(run)
        + QStringLiteral("Filesize:10,485,760.00 bytes\r\n"
                         "Filesize:10,240.00 KB\r\n"
                         "Filesize:10.00 MB\r\n"
                         "Total time:2.50 sec\r\n"
                         "Bytes/sec:4,194,304.00\r\n"
                         "KB/sec:4,096.00\r\n"
                         "MB/sec:4.00\r\n"
                         "Transfer completed\r\n"
                         "----------------------------------------------------------------\r\n"
                         "\r\n");
}

std::int64_t fileSize(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

bool entryExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

bool isTestFileContent(const std::string& path, std::int64_t size)
{
    if (fileSize(path) != size)
        return false;
    const std::string content = testsupport::readFile(path);
    return std::all_of(content.begin(), content.end(), [](char c) { return c == 'X'; });
}

} // namespace speedtest
