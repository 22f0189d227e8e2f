#pragma once

#include "Clock.h"
#include "Forms.h"
#include "GuiTestSupport.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace speedtest {

constexpr std::int64_t kTenMegabytes = 10 * 1024 * 1024;
const QRgb idleGreen = qRgb(76, 255, 5);
const QRgb busyRed = qRgb(255, 45, 17);

// Advances by the same step at every reading, so each run brackets its copy
// with exactly one step; a step of zero stands for a copy within one tick.
// Actions run at given readings (0 and 1 bracket the first copy).
class FakeClock : public platform::Clock {
public:
    FakeClock(std::chrono::nanoseconds step, std::chrono::nanoseconds resolution)
        : m_step(step)
        , m_resolution(resolution)
    {
    }
    std::chrono::nanoseconds now() const override;
    std::chrono::nanoseconds resolution() const override { return m_resolution; }
    int readings() const { return m_readings; }

    std::map<int, std::function<void()>> atReading;

private:
    std::chrono::nanoseconds m_step;
    std::chrono::nanoseconds m_resolution;
    mutable int m_readings = 0;
};

// The program's windows in a test environment, driven through their
// controls, with the fake clock in place and an empty target folder.
class SpeedTestSession {
public:
    explicit SpeedTestSession(std::chrono::nanoseconds step = std::chrono::milliseconds(2500),
                              std::chrono::nanoseconds resolution = std::chrono::nanoseconds(1));

    // Writes the 10 MB test file, then opens the speed test.
    bool start();
    // Clicks "Test Network"; false when the button is not there to click.
    bool openSpeedTest();
    // Replaces the target box's text the way a person does: select all, type.
    void typeTarget(const QString& text);
    void clickCheckSpeed();
    void closeSpeedTest() { forms.form2.widget()->close(); }

    QLineEdit* targetBox() const { return testsupport::control<QLineEdit>(forms.form2, QStringLiteral("Text1")); }
    QPlainTextEdit* reportBox() const { return testsupport::control<QPlainTextEdit>(forms.form2, QStringLiteral("Text2")); }
    QString report() const;
    QRgb statusColour() const;
    QStringList messages() const { return env.messages(); }
    bool programEnded() const { return env.programEnded().has_value(); }

    Form2& speedTest() { return forms.form2; }
    const std::string& programFolder() const { return env.programFolder(); }
    std::string testFile() const { return env.dummyFile(); }
    QString targetFolder() const { return QString::fromStdString(target.path()); }

    FakeClock clock;
    const testsupport::TempFolder target;

private:
    testsupport::GuiTestEnvironment env;
    platform::ScopedClock m_useClock{clock};
    Forms forms;
};

inline QString errorBox(const QString& prompt)
{
    return QStringLiteral("Error! (16): ") + prompt;
}
// The block one run of the 10 MB file appends when the copy took 2.5 s.
QString reportBlock(int run);
// The first two lines of a run, all a run that fails during the copy leaves.
QString reportStart(int run);

// The names in a folder, dangling links included.
QStringList entries(const std::string& folder);
// Whether the file holds exactly `size` 'X' bytes, like the test file.
bool isTestFileContent(const std::string& path, std::int64_t size = kTenMegabytes);

} // namespace speedtest
