#pragma once

#include "CompactFont.h"

#include <QApplication>
#include <QLocale>

// A benchmark runs the real windows offscreen unless told otherwise, with the
// program's own look, and reads reports in the U.S. number format.
class BenchApplication : public QApplication {
public:
    BenchApplication(int& argc, char** argv)
        : QApplication(offscreenUnlessSet(argc), argv)
    {
        setApplicationName(QStringLiteral("Dozozeda"));
        setQuitOnLastWindowClosed(false);
        platform::useCompactFont();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

private:
    // Runs before QApplication picks its platform.
    static int& offscreenUnlessSet(int& argc)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }
};
