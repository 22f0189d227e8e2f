#pragma once

#include "Clock.h"
#include "Forms.h"
#include "GuiTestSupport.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace realshare {

constexpr std::int64_t kMegabyte = 1024 * 1024;

// The shares run-tests.sh serves, as it puts them into the environment.
struct Share {
    QString state;
    QString data;
    QString small;
    QString readOnly;
    QString dataServer;
    QString smallServer;
    QString readOnlyServer;
    QString mount;
    QString serverIp;

    // Nothing when a variable is missing, i.e. outside run-tests.sh.
    static std::optional<Share> fromEnvironment();

    // Runs `share.sh COMMAND STATE ARGS...` (cut, restore, readonly, ...);
    // true when it succeeded within a minute. Safe from any thread.
    bool control(const QString& command, const QStringList& args = {}) const;
};

// The real clock, with actions that run right after a given reading is
// taken, so that what they do never counts towards the measured time. Each
// run reads it twice, around the copy: reading 1 is the end of the first copy.
class WatchingClock : public platform::Clock {
public:
    std::chrono::nanoseconds now() const override;
    std::chrono::nanoseconds resolution() const override;

    void afterReading(int index, std::function<void()> action);

private:
    platform::SteadyClock m_real;
    std::map<int, std::function<void()>> m_actions;
    mutable int m_readings = 0;
};

// The program's windows in a test environment, driven through their controls
// as a person would, with the real file layer underneath.
class ShareSession {
public:
    ShareSession();

    // Chooses the size in the main window and clicks "Create dummyfile".
    bool writeTestFile(int megabytes);
    // Clicks "Test Network".
    bool openSpeedTest();
    // Replaces the target box's text: select all, type.
    void typeTarget(const QString& text);
    // Returns when the run has ended, as the click does for a person.
    void clickCheckSpeed();

    QString report() const;
    // Every message box so far, as "title (style): prompt".
    QStringList messages() const;
    bool programEnded() const { return m_env.programEnded().has_value(); }
    std::string testFile() const { return m_env.dummyFile(); }

private:
    testsupport::GuiTestEnvironment m_env;
    Forms m_forms;
};

QString errorBox(const QString& prompt);

// The first two lines of a run, all that a run failing during the copy leaves.
QString reportStart(int run);

// The lines of one run's block in the report, from "Transfer:<run>" on.
QStringList runLines(const QString& report, int run);

std::int64_t fileSize(const std::string& path);
// Whether the file holds exactly `size` 'X' bytes, like the test file.
bool isTestFileContent(const std::string& path, std::int64_t size);
QStringList entries(const QString& folder);
// Removes what is left in a share, through the share so that the client's
// caches see it go (a file removed behind its back can still look present
// to it for a while), retrying while the server still holds a file.
// Whatever remains is removed on the server; true when the folder ends empty.
bool removeLeftovers(const QString& shareFolder, const QString& serverFolder);

// Waits until no process has the file open (the server lets go of a file
// some time after its client closed it); false if that takes longer than
// `limit`.
bool waitUntilClosedEverywhere(const std::string& path, std::chrono::milliseconds limit);

// dd writing `source` to `target` in 1 MiB blocks and flushing, timed around
// the process; nothing if it failed or took over a minute.
std::optional<double> ddSeconds(const QString& source, const QString& target);

} // namespace realshare
