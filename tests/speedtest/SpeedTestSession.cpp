#include "SpeedTestSession.h"

#include "TextControls.h"

#include <QDir>
#include <QLabel>
#include <QTest>

#include <algorithm>
#include <filesystem>

namespace speedtest {

using testsupport::control;

std::chrono::nanoseconds FakeClock::now() const
{
    const int index = m_readings++;
    if (const auto action = atReading.find(index); action != atReading.end())
        action->second();
    return m_step * index;
}

SpeedTestSession::SpeedTestSession(std::chrono::nanoseconds step, std::chrono::nanoseconds resolution)
    : clock(step, resolution)
{
    forms.form1.Show();
}

bool SpeedTestSession::start()
{
    QTest::mouseClick(control(forms.form1, QStringLiteral("Option1")), Qt::LeftButton);
    QTest::mouseClick(control(forms.form1, QStringLiteral("Command1")), Qt::LeftButton);
    std::error_code missing;
    return std::filesystem::file_size(testFile(), missing) == kTenMegabytes && openSpeedTest();
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

QString SpeedTestSession::report() const
{
    return platform::Text(reportBox());
}

QRgb SpeedTestSession::statusColour() const
{
    const auto* picture = control<QLabel>(forms.form2, QStringLiteral("Image3"));
    return picture && !picture->pixmap().isNull() ? picture->pixmap().toImage().pixel(0, 0) : 0;
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

QStringList entries(const std::string& folder)
{
    return QDir(QString::fromStdString(folder)).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool isTestFileContent(const std::string& path, std::int64_t size)
{
    std::error_code error;
    if (std::filesystem::file_size(path, error) != static_cast<std::uintmax_t>(size) || error)
        return false;
    const std::string content = testsupport::readFile(path);
    return std::all_of(content.begin(), content.end(), [](char c) { return c == 'X'; });
}

} // namespace speedtest
