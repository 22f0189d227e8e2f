#pragma once

#include "Forms.h"
#include "Person.h"
#include "QtWindowPeer.h"
#include "QtWindowingLayer.h"

#include <QApplication>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

class QPushButton;

namespace bench {

// A benchmark runs the real windows offscreen unless told otherwise, with the
// program's own look, and reads reports in the U.S. number format.
class BenchApplication : public QApplication {
public:
    BenchApplication(int& argc, char** argv);

private:
    // Runs before QApplication picks its platform.
    static int& offscreenUnlessSet(int& argc);

    qtlayer::QtWindowingLayer m_layer;
};

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration duration);
double median(std::vector<double> values);

// Says why the benchmark stopped; returns the exit status for main().
int fail(const QString& what);

// The MB/sec of the last run in a report.
std::optional<double> reportedRate(const QString& report);

// The program's windows with nothing that waits for a person: message boxes
// are collected, ending the program is ignored, and the test file goes into
// the given folder.
class BenchWindows {
public:
    explicit BenchWindows(const QString& programFolder);

    QString testFile() const;
    // Chooses the size, clicks "Create dummyfile" and checks the file's size.
    bool writeTestFile(int megabytes);
    void clickCreate();
    // Clicks "Test Network" and types the target folder.
    bool openSpeedTest(const QString& target);
    void clickCheckSpeed();
    // The MB/sec the last run reported; nothing if it failed.
    std::optional<double> lastRate();

    template <typename Control>
    Control* control(const forms::Window& window, const QString& name) const
    {
        const auto* peer = dynamic_cast<const qtlayer::QtWindowPeer*>(window.Peer());
        return peer ? qobject_cast<Control*>(peer->controlWidget(name.toStdString())) : nullptr;
    }

    QStringList boxes;
    Forms forms;
    std::unique_ptr<testsupport::Person> person = testsupport::makePerson();

private:
    QString m_programFolder;
};

} // namespace bench
