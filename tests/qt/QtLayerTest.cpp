#include "CompactFont.h"
#include "HandlerGuard.h"
#include "NumberFormat.h"
#include "QtWindowPeer.h"
#include "QtWindowingLayer.h"
#include "SessionEnd.h"
#include "TerminationSignals.h"
#include "WindowTestSupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QElapsedTimer>
#include <QtTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>

using testsupport::WindowTestEnvironment;

namespace {

QWidget* widgetOf(const forms::Window& window)
{
    return dynamic_cast<const qtlayer::QtWindowPeer&>(*window.Peer()).widget();
}

// WCAG's contrast ratio between two colours, from 1 (none) to 21.
double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A run whose copy is whole on a small disk that turns read-only before the
// copy can be removed, with the person's next action in between.
struct StrandedCopy {
    StrandedCopy()
    {
        session.clock.atReading[1] = [this] {
            ::mount("tmpfs", disk.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr);
        };
    }

    // Runs "Check speed" in the program's own event loop, with the real
    // message boxes and the real end of the program; `action` comes once the
    // copy is whole. Returns the boxes seen, once the event loop has ended.
    std::vector<testsupport::SeenMessageBox> endedBy(std::function<void()> action)
    {
        std::vector<testsupport::SeenMessageBox> boxes;
        if (!session.start())
            return {{"", "no test file", false}};
        session.typeTarget(disk.path());
        session.duringCopy(
            [this, action] {
                session.person->post([this] { session.resumeCopy(); });
                action();
            },
            1);
        forms::setEndProgramHandler(nullptr);
        QTimer::singleShot(0, [&] { boxes = session.person->answeringMessageBoxes([this] { session.clickCheckSpeed(); }); });
        const int status = QApplication::exec();
        if (status != 0)
            boxes.push_back({"", "the program ended with " + std::to_string(status), false});
        return boxes;
    }

    std::string notRemoved() const
    {
        return "Transfer failed: the copy was stopped; what was written could not be removed either (Cannot delete '"
            + disk.path() + "/dummyfile.dum': Read-only file system)";
    }

    testsupport::SmallDisk disk{20};
    testsupport::SpeedTestSession session;
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class QtLayerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        qtlayer::useCompactFont();
        forms::useWindowingLayer(&m_layer);
    }

    // The fixed layout fits the program's font: no caption is cut off, and
    // the main window opens centred, borderless and out of the taskbar.
    void everyWindowIsReadableAndTheMainOneSitsCentred()
    {
        WindowTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        forms.form2.Show();
        forms.form3.Show();
        QWidget* main = widgetOf(forms.form1);
        QVERIFY(QTest::qWaitForWindowExposed(main));

        QVERIFY(main->windowFlags().testFlag(Qt::FramelessWindowHint) && main->windowFlags().testFlag(Qt::Tool));
        QCOMPARE(static_cast<QMainWindow*>(main)->menuBar()->actions().value(0)->text(), QStringLiteral("About"));
        const QPoint screenCentre = main->screen()->availableGeometry().center();
        QVERIFY((main->frameGeometry().center() - screenCentre).manhattanLength() <= 2);
        QVERIFY(!(widgetOf(forms.form3)->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

        for (const forms::Window* window : {static_cast<forms::Window*>(&forms.form1),
                                            static_cast<forms::Window*>(&forms.form2),
                                            static_cast<forms::Window*>(&forms.form3)}) {
            for (auto* button : widgetOf(*window)->findChildren<QAbstractButton*>()) {
                QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
                QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(button->text()));
            }
            for (auto* label : widgetOf(*window)->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->text()));
                    QVERIFY(!label->text().contains(QLatin1Char('\r')));
                }
            }
            // Every control a person can reach has a name a screen reader can say.
            for (QWidget* widget : widgetOf(*window)->findChildren<QWidget*>()) {
                if (widget->focusPolicy() == Qt::NoFocus && !qobject_cast<QProgressBar*>(widget))
                    continue;
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
            }
        }
        // The report's system colours can be nearly equal away from Windows;
        // whatever stands in for them must keep the text apart from its ground.
        const QPalette report = widgetOf(forms.form2)->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->palette();
        QVERIFY(contrast(report.color(QPalette::Base), report.color(QPalette::Text)) >= 3);
    }

    // The writer counts 102,400 blocks for 100 MB; the bar follows at the
    // pace a person can see, not at the pace of the blocks.
    void theBarClimbsWhileWritingAtMostThirtyPaintsASecond()
    {
        WindowTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        QWidget* main = widgetOf(forms.form1);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        auto* bar = main->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QList<int> shown;
        connect(bar, &QProgressBar::valueChanged, this, [&shown](int value) { shown.append(value); });
        QTest::mouseClick(main->findChild<QWidget*>(QStringLiteral("Option10")), Qt::LeftButton);
        QCoreApplication::processEvents();
        PaintCounter counter;
        bar->installEventFilter(&counter);

        QElapsedTimer writing;
        writing.start();
        QTest::mouseClick(main->findChild<QWidget*>(QStringLiteral("Command1")), Qt::LeftButton);
        const qint64 milliseconds = writing.elapsed();

        bar->removeEventFilter(&counter);
        QVERIFY2(counter.paints <= milliseconds / 33 + 3,
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(counter.paints).arg(milliseconds)));
        QCOMPARE(shown.last(), bar->minimum());
        const QList<int> climb = shown.first(shown.size() - 1);
        QVERIFY(std::is_sorted(climb.begin(), climb.end()));
        QCOMPARE(climb.last(), bar->maximum());
    }

    void formatsNumbersTheRegionalWay()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(qtlayer::FormatNumber(10485760, 2, us), QStringLiteral("10,485,760.00"));
        QCOMPARE(qtlayer::FormatNumber(10485760, 2, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("10.485.760,00"));
        QCOMPARE(qtlayer::FormatNumber(0.004, 2, us), QStringLiteral("0.00"));
        QCOMPARE(qtlayer::FormatNumber(-2.5, 2, us), QStringLiteral("-2.50"));
        QCOMPARE(qtlayer::FormatNumber(1234.5, 2, QLocale::c()), QStringLiteral("1,234.50"));
    }

    void aTerminationSignalIsHandledOnTheUserInterfaceThread()
    {
        int calls = 0;
        qtlayer::TerminationSignals onTermination([&calls] { ++calls; });
        std::raise(SIGTERM);
        QTRY_COMPARE(calls, 1);
        std::raise(SIGINT);
        QTRY_COMPARE(calls, 2);
    }

    // The real ending, not a recording of it: the main window is closed
    // during a copy whose clean-up then fails, and the box saying so is
    // answered before the program's event loop ends.
    void whatTheEndingHasToSayIsSeenBeforeTheProgramEnds()
    {
        StrandedCopy run;
        if (!run.disk.available())
            QSKIP("mounting a small tmpfs needs Linux and root");
        const auto boxes = run.endedBy([&run] { run.session.person->pressAltF4(run.session.forms.form1); });

        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].title, std::string("Error!"));
        QVERIFY2(boxes[0].prompt.starts_with(run.notRemoved()), boxes[0].prompt.c_str());
        QCOMPARE(testsupport::sizeOf(run.session.testFile()), -1);
    }

    // Last, as it ends the session for good: with nobody left to answer, the
    // same words go to standard error and the system log, and nothing waits.
    void atTheSessionsEndWhatWouldBeShownIsLogged()
    {
        StrandedCopy run;
        if (!run.disk.available())
            QSKIP("mounting a small tmpfs needs Linux and root");
        testing::internal::CaptureStderr();

        const auto boxes = run.endedBy([&run] { forms::EndSession(run.session.forms.form1); });

        const std::string logged = testing::internal::GetCapturedStderr();
        QVERIFY(boxes.empty());
        QVERIFY2(logged.find("dozozeda: Error! " + run.notRemoved()) != std::string::npos, logged.c_str());
    }

private:
    qtlayer::QtWindowingLayer m_layer;
};

QTEST_MAIN(QtLayerTest)
#include "QtLayerTest.moc"
