#pragma once

#include "Clock.h"
#include "Forms.h"
#include "GuiTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace speedtest {

constexpr std::int64_t kTenMegabytes = 10 * 1024 * 1024;

// Advances by the same step at every reading, so each run brackets its copy
// with exactly one step. A step of zero stands for a copy that ends within
// one tick. A test may act at a given reading (0 and 1 are the first run's
// start and end) to look at the window or disturb the target mid-run.
class FakeClock : public platform::Clock {
public:
    explicit FakeClock(std::chrono::nanoseconds step,
                       std::chrono::nanoseconds resolution = std::chrono::nanoseconds(1));

    std::chrono::nanoseconds now() const override;
    std::chrono::nanoseconds resolution() const override;

    void atReading(int index, std::function<void()> action);
    int readings() const { return m_readings; }

private:
    std::chrono::nanoseconds m_step;
    std::chrono::nanoseconds m_resolution;
    std::map<int, std::function<void()>> m_actions;
    mutable int m_readings = 0;
};

// The program's windows in a test environment, driven through their
// controls. The fake clock is in place for the whole session.
class SpeedTestSession {
public:
    explicit SpeedTestSession(std::chrono::nanoseconds step = std::chrono::milliseconds(2500),
                              std::chrono::nanoseconds resolution = std::chrono::nanoseconds(1));

    // Chooses "10 MB" in the main window and writes the test file.
    bool writeTestFile();
    // Clicks "Test Network"; false when the button is not there to click.
    bool openSpeedTest();
    // Replaces the target box's text the way a person does: select all, type.
    void typeTarget(const QString& text);
    void clickCheckSpeed();
    // Closes the speed-test window with its close box.
    void closeSpeedTest();

    QLineEdit* targetBox() const;
    QPlainTextEdit* reportBox() const;
    QString report() const;
    bool showsBusyPicture() const;
    bool showsIdlePicture() const;

    // Every message box shown so far, as "title (style): prompt".
    QStringList messages() const;
    bool programEnded() const { return env.programEnded().has_value(); }

    Form2& speedTest() { return forms.form2; }
    FakeClock& clock() { return m_clock; }
    const std::string& programFolder() const { return env.programFolder(); }
    std::string testFile() const { return env.dummyFile(); }

private:
    QRgb statusColour() const;

    testsupport::GuiTestEnvironment env;
    FakeClock m_clock;
    platform::ScopedClock m_useClock{m_clock};
    Forms forms;
};

// A message box as "title (style): prompt".
QString describe(const platform::MessageBoxCall& box);

// The box a failing run shows.
QString errorBox(const QString& prompt);

// The block one run of the 10 MB file appends when the copy took 2.5 s.
QString reportBlock(int run);

// The first two lines of a run, all a run that fails during the copy leaves.
QString reportStart(int run);

// Size of a file, or -1 when it is missing.
std::int64_t fileSize(const std::string& path);
// Whether any entry has that name, a dangling link included.
bool entryExists(const std::string& path);

// Whether the file holds exactly `size` 'X' bytes, like the test file.
bool isTestFileContent(const std::string& path, std::int64_t size);

} // namespace speedtest
