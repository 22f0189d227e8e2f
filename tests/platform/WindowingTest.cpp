#include "HandlerGuard.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "ProgressBar.h"
#include "TerminationSignals.h"
#include "TextControls.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QtTest>

#include <csignal>
#include <stdexcept>

class WindowingTest : public QObject {
    Q_OBJECT

private slots:
    void formatsNumbersTheRegionalWay()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(platform::FormatNumber(10485760, 2, us), QStringLiteral("10,485,760.00"));
        QCOMPARE(platform::FormatNumber(10485760, 2, german), QStringLiteral("10.485.760,00"));
        QCOMPARE(platform::FormatNumber(0.004, 2, us), QStringLiteral("0.00"));
        QCOMPARE(platform::FormatNumber(-2.5, 2, us), QStringLiteral("-2.50"));
        QCOMPARE(platform::FormatNumber(1234.5, 2, QLocale::c()), QStringLiteral("1,234.50"));
    }

    void textBoxKeepsCaretAndScrollWhenTheProgramRewritesIt()
    {
        QPlainTextEdit box;
        box.resize(200, 60);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QString text;
        for (int i = 0; i < 40; ++i)
            text += QStringLiteral("line %1\r\n").arg(i);
        platform::SetText(&box, text);
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(12);
        box.setTextCursor(cursor);
        box.verticalScrollBar()->setValue(5);

        platform::SetText(&box, platform::Text(&box) + QStringLiteral("appended\r\n"));

        QCOMPARE(box.textCursor().position(), 12);
        QCOMPARE(box.verticalScrollBar()->value(), 5);
        QVERIFY(platform::Text(&box).endsWith(QStringLiteral("line 39\r\nappended\r\n")));
        QVERIFY(!box.toPlainText().contains(QLatin1Char('\r')));
    }

    void progressBarPassesOnlyVisibleChanges()
    {
        QProgressBar widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        platform::ProgressBar bar(&widget);
        int changes = 0;
        connect(&widget, &QProgressBar::valueChanged, this, [&changes] { ++changes; });

        bar.setMin(1);
        bar.setMax(102400);
        for (int i = 1; i <= 102400; ++i)
            bar.setValue(static_cast<float>(i));

        QCOMPARE(bar.Value(), 102400.0f);
        QCOMPARE(widget.value(), widget.maximum());
        QVERIFY2(changes <= 101, qPrintable(QString::number(changes)));
        bar.setValue(1);
        QCOMPARE(widget.value(), widget.minimum());
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
