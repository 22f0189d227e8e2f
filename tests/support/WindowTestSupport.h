#pragma once

#include "Clock.h"
#include "Forms.h"
#include "MessageBox.h"
#include "Person.h"
#include "TempFolder.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

namespace testsupport {

constexpr std::int64_t kMegabyte = 1024 * 1024;

// Puts the windows into a state a test can drive without a person:
// message boxes are recorded instead of shown, ending the program is
// recorded instead of done, the program folder is a fresh temporary folder,
// and numbers are formatted the United States way.
class WindowTestEnvironment {
public:
    WindowTestEnvironment();
    WindowTestEnvironment(const WindowTestEnvironment&) = delete;
    WindowTestEnvironment& operator=(const WindowTestEnvironment&) = delete;
    ~WindowTestEnvironment();

    // Every box so far as "title (style): prompt".
    std::vector<std::string> messages() const;
    std::optional<int> programEnded() const { return m_endStatus; }

    const std::string& programFolder() const { return m_folder.path(); }
    std::string dummyFile() const { return m_folder.file("dummyfile.dum"); }

private:
    TempFolder m_folder;
    std::vector<forms::MessageBoxCall> m_boxes;
    std::optional<int> m_endStatus;
};

std::string describe(const forms::MessageBoxCall& box);
std::string errorBox(const std::string& prompt);
// The first two lines of a run, all a run that fails during the copy leaves.
std::string reportStart(int run);
// The names in a folder, sorted, dangling links included.
std::vector<std::string> entries(const std::string& folder);
// Whether the file holds exactly `size` 'X' bytes, like the test file.
bool isTestFileContent(const std::string& path, std::int64_t size = 10 * kMegabyte);
std::int64_t sizeOf(const std::string& path);

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

// The program's windows, a person to work them, the test clock in place and
// an empty folder to copy into.
class SpeedTestSession {
public:
    explicit SpeedTestSession(std::optional<std::chrono::nanoseconds> step = std::chrono::milliseconds(2500),
                              std::chrono::nanoseconds resolution = std::chrono::nanoseconds(1));

    // Writes a test file of that size, then opens the speed test.
    bool start(int megabytes = 10);
    // Clicks "Test Network"; false when the button is not there to click.
    bool openSpeedTest();
    void typeTarget(const std::string& text) { person->type(forms.form2, "Text1", text); }
    // Returns when the run has ended, as the click does for a person.
    void clickCheckSpeed() { person->click(forms.form2, "Command1"); }
    void closeSpeedTest() { person->closeWindow(forms.form2); }
    // Has the next copy wait, right after the clock's first reading (or the
    // given one), until `task` has run on the user-interface thread, as a
    // person would act while the copy runs. The copy goes on when the task
    // returns, or as soon as it calls resumeCopy(). The copy gives up waiting
    // after ten seconds. An action already set for that reading runs first,
    // on the copy's thread.
    void duringCopy(std::function<void()> task, std::optional<int> reading = std::nullopt);
    void resumeCopy();

    std::string targetText() const { return person->read(forms.form2, "Text1"); }
    std::string report() const { return person->read(forms.form2, "Text2"); }
    std::optional<Rgb> status() const { return person->pictureColour(forms.form2, "Image3"); }
    std::vector<std::string> messages() const { return env.messages(); }
    bool programEnded() const { return env.programEnded().has_value(); }

    const std::string& programFolder() const { return env.programFolder(); }
    std::string testFile() const { return env.dummyFile(); }
    std::string targetFolder() const { return target.path(); }

    TestClock clock;
    const TempFolder target;
    WindowTestEnvironment env;
    std::unique_ptr<Person> person;
    Forms forms;

private:
    platform::ScopedClock m_useClock{clock};
    std::binary_semaphore m_copyMayGoOn{0};
    std::atomic<bool> m_copyWaiting = false;
};

constexpr Rgb kIdleGreen{76, 255, 5};
constexpr Rgb kBusyRed{255, 45, 17};

} // namespace testsupport
