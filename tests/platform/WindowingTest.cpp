#include "HandlerGuard.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "TerminationSignals.h"

#include <QtTest>

#include <csignal>
#include <stdexcept>

class WindowingTest : public QObject {
    Q_OBJECT

private slots:
    void formatsNumbersTheRegionalWay()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(platform::FormatNumber(10485760, 2, us), QStringLiteral("10,485,760.00"));
        QCOMPARE(platform::FormatNumber(10485760, 2, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("10.485.760,00"));
        QCOMPARE(platform::FormatNumber(0.004, 2, us), QStringLiteral("0.00"));
        QCOMPARE(platform::FormatNumber(-2.5, 2, us), QStringLiteral("-2.50"));
        QCOMPARE(platform::FormatNumber(1234.5, 2, QLocale::c()), QStringLiteral("1,234.50"));
    }

    void anUnhandledErrorIsShownAndEndsTheProgram()
    {
        QList<platform::MessageBoxCall> boxes;
        std::optional<int> ended;
        platform::setMessageBoxHandler([&boxes](const platform::MessageBoxCall& call) { boxes.append(call); });
        platform::setEndProgramHandler([&ended](int status) { ended = status; });

        platform::runGuarded([] { throw std::runtime_error("Cannot delete '/x/dummyfile.dum': Permission denied"); });

        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].prompt, QStringLiteral("Cannot delete '/x/dummyfile.dum': Permission denied"));
        QCOMPARE(boxes[0].style, platform::vbCritical);
        QCOMPARE(ended, std::optional<int>(1));
        platform::setMessageBoxHandler(nullptr);
    }

    void terminationSignalClosesOnTheUserInterfaceThread()
    {
        int calls = 0;
        platform::TerminationSignals onTermination([&calls] { ++calls; });
        std::raise(SIGTERM);
        QTRY_COMPARE(calls, 1);
        std::raise(SIGINT);
        QTRY_COMPARE(calls, 2);
    }
};

QTEST_MAIN(WindowingTest)
#include "WindowingTest.moc"
