#pragma once

#include "Clock.h"
#include "Forms.h"
#include "MessageBox.h"
#include "TempFolder.h"
#include "TextControls.h"
#include "Window.h"

#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace testsupport {

constexpr std::int64_t kMegabyte = 1024 * 1024;

// Puts the windows into a state a test can drive without a person:
// message boxes are recorded instead of shown, ending the program is
// recorded instead of done, the program folder is a fresh temporary folder,
// and numbers are formatted the United States way.
class GuiTestEnvironment {
public:
    GuiTestEnvironment();
    GuiTestEnvironment(const GuiTestEnvironment&) = delete;
    GuiTestEnvironment& operator=(const GuiTestEnvironment&) = delete;
    ~GuiTestEnvironment();

    // Every box so far as "title (style): prompt".
    QStringList messages() const;
    std::optional<int> programEnded() const { return m_endStatus; }

    const std::string& programFolder() const { return m_folder.path(); }
    std::string dummyFile() const { return m_folder.file("dummyfile.dum"); }

private:
    TempFolder m_folder;
    QList<platform::MessageBoxCall> m_boxes;
    std::optional<int> m_endStatus;
};

QString describe(const platform::MessageBoxCall& box);

// A control of a loaded window by its object name; null when absent.
template <typename Control = QWidget>
Control* control(const platform::Window& window, const QString& name)
{
    return window.widget() ? window.widget()->findChild<Control*>(name) : nullptr;
}

// Calls QApplication-wide setup that the real program does in main().
void setUpApplication();

// Advances by one step at every reading, so each run brackets its copy with
// exactly one step (zero stands for a copy within one tick); without a step
// it reads the real clock. An action runs right after its reading is taken,
// so it never counts towards a measured time; readings 0 and 1 bracket the
// first copy.
class TestClock : public platform::Clock {
public:
    TestClock(std::optional<std::chrono::nanoseconds> step, std::chrono::nanoseconds tick)
        : m_step(step)
        , m_tick(tick)
    {
    }
    std::chrono::nanoseconds now() const override;
    std::chrono::nanoseconds resolution() const override { return m_step ? m_tick : m_real.resolution(); }
    int readings() const { return m_readings; }

    std::map<int, std::function<void()>> atReading;

private:
    platform::SteadyClock m_real;
    std::optional<std::chrono::nanoseconds> m_step;
    std::chrono::nanoseconds m_tick;
    mutable int m_readings = 0;
};

// The program's windows driven through their controls as a person would,
// with the test clock in place and an empty folder to copy into.
class SpeedTestSession {
public:
    explicit SpeedTestSession(std::optional<std::chrono::nanoseconds> step = std::chrono::milliseconds(2500),
                              std::chrono::nanoseconds resolution = std::chrono::nanoseconds(1));

    // Writes a test file of that size, then opens the speed test.
    bool start(int megabytes = 10);
    // Clicks "Test Network"; false when the button is not there to click.
    bool openSpeedTest();
    // Replaces the target box's text the way a person does: select all, type.
    void typeTarget(const QString& text);
    // Returns when the run has ended, as the click does for a person.
    void clickCheckSpeed();
    void closeSpeedTest() { forms.form2.widget()->close(); }

    QLineEdit* targetBox() const { return control<QLineEdit>(forms.form2, QStringLiteral("Text1")); }
    QPlainTextEdit* reportBox() const { return control<QPlainTextEdit>(forms.form2, QStringLiteral("Text2")); }
    QString report() const { return platform::Text(reportBox()); }
    QRgb statusColour() const;
    QStringList messages() const { return env.messages(); }
    bool programEnded() const { return env.programEnded().has_value(); }

    Form2& speedTest() { return forms.form2; }
    const std::string& programFolder() const { return env.programFolder(); }
    std::string testFile() const { return env.dummyFile(); }
    QString targetFolder() const { return QString::fromStdString(target.path()); }

    TestClock clock;
    const TempFolder target;

private:
    GuiTestEnvironment env;
    platform::ScopedClock m_useClock{clock};
    Forms forms;
};

QString errorBox(const QString& prompt);
// The first two lines of a run, all a run that fails during the copy leaves.
QString reportStart(int run);
// The names in a folder, dangling links included.
QStringList entries(const QString& folder);
// Whether the file holds exactly `size` 'X' bytes, like the test file.
bool isTestFileContent(const std::string& path, std::int64_t size = 10 * kMegabyte);

} // namespace testsupport
