// What a person sees of a run: the report, the status picture and the count,
// over several runs and after the window is closed and opened again.

#include "SpeedTestSession.h"
#include "SpeedTestSuites.h"
#include "TempFolder.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

#include <filesystem>

using speedtest::entryExists;
using speedtest::isTestFileContent;
using speedtest::kTenMegabytes;
using speedtest::reportBlock;
using speedtest::reportStart;
using speedtest::SpeedTestSession;
using testsupport::TempFolder;

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

class ReportTest : public QObject {
    Q_OBJECT

private slots:
    void oneRunReportsTheRateAndRemovesItsCopy();
    void theBusyPictureShowsWhileTheCopyIsTimed();
    void runsFollowEachOtherAfterOneEmptyLine();
    void aCopyWithinOneClockTickStillGetsAFullReport();
    void theCountGoesOnWhenTheWindowIsOpenedAgain();
    void textTypedIntoTheReportStaysWithCaretAndScrollPosition();
};

void ReportTest::oneRunReportsTheRateAndRemovesItsCopy()
{
    TempFolder target;
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    QVERIFY(session.showsIdlePicture());

    session.typeTarget(qs(target.path()));
    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList());
    QCOMPARE(session.report(), reportBlock(1));
    QCOMPARE(session.targetBox()->text(), qs(target.path()) + QLatin1Char('\\'));
    QVERIFY(session.showsIdlePicture());
    QCOMPARE(session.speedTest().transferCount(), qint16(1));
    QCOMPARE(session.speedTest().pathError(), std::optional<bool>(false));
    QCOMPARE(session.clock().readings(), 2);
    QVERIFY(std::filesystem::is_empty(target.path()));
    QVERIFY(isTestFileContent(session.testFile(), kTenMegabytes));
}

void ReportTest::theBusyPictureShowsWhileTheCopyIsTimed()
{
    TempFolder target;
    const std::string copy = target.file("dummyfile.dum");
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());

    bool busyAtStart = false;
    QString reportAtStart;
    bool copyAbsentAtStart = false;
    session.clock().atReading(0, [&] {
        busyAtStart = session.showsBusyPicture();
        reportAtStart = session.report();
        copyAbsentAtStart = !entryExists(copy);
    });
    bool busyAtEnd = false;
    bool copyWholeAtEnd = false;
    session.clock().atReading(1, [&] {
        busyAtEnd = session.showsBusyPicture();
        copyWholeAtEnd = isTestFileContent(copy, kTenMegabytes);
    });

    session.typeTarget(qs(target.path()));
    session.clickCheckSpeed();

    QVERIFY(busyAtStart);
    QCOMPARE(reportAtStart, reportStart(1));
    QVERIFY(copyAbsentAtStart);
    QVERIFY(busyAtEnd);
    QVERIFY(copyWholeAtEnd);
    QVERIFY(session.showsIdlePicture());
    QVERIFY(!entryExists(copy));
}

void ReportTest::runsFollowEachOtherAfterOneEmptyLine()
{
    TempFolder target;
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(target.path()));

    session.clickCheckSpeed();
    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList());
    QCOMPARE(session.report(), reportBlock(1) + reportBlock(2));
    QCOMPARE(session.speedTest().transferCount(), qint16(2));
}

void ReportTest::aCopyWithinOneClockTickStillGetsAFullReport()
{
    TempFolder target;
    SpeedTestSession session(std::chrono::nanoseconds(0), std::chrono::milliseconds(1));
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(target.path()));

    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList());
    QCOMPARE(session.report(), reportStart(1)
                 + QStringLiteral("Filesize:10,485,760.00 bytes\r\n"
                                  "Filesize:10,240.00 KB\r\n"
                                  "Filesize:10.00 MB\r\n"
                                  "Total time:0.00 sec\r\n"
                                  "Bytes/sec:10,485,760,000.00\r\n"
                                  "KB/sec:10,240,000.00\r\n"
                                  "MB/sec:10,000.00\r\n"
                                  "Transfer completed\r\n"
                                  "----------------------------------------------------------------\r\n"
                                  "\r\n"));
    QVERIFY(session.showsIdlePicture());
}

void ReportTest::theCountGoesOnWhenTheWindowIsOpenedAgain()
{
    TempFolder target;
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(target.path()));
    session.clickCheckSpeed();
    // A failed run counts too, and leaves the busy picture behind.
    session.typeTarget(QStringLiteral("  ") + qs(target.path()));
    session.clickCheckSpeed();
    QVERIFY(session.showsBusyPicture());
    QCOMPARE(session.messages().size(), 1);

    session.closeSpeedTest();
    QVERIFY(!session.speedTest().isLoaded());
    QVERIFY(!session.programEnded());

    QVERIFY(session.openSpeedTest());
    QCOMPARE(session.targetBox()->text(), QString());
    QCOMPARE(session.report(), QString());
    QVERIFY(session.showsIdlePicture());

    session.typeTarget(qs(target.path()));
    session.clickCheckSpeed();
    QCOMPARE(session.messages().size(), 1);
    QCOMPARE(session.report(), reportBlock(3));
    QCOMPARE(session.speedTest().transferCount(), qint16(3));
}

void ReportTest::textTypedIntoTheReportStaysWithCaretAndScrollPosition()
{
    TempFolder target;
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(target.path()));
    QPlainTextEdit* box = session.reportBox();

    // A note long enough to wrap: wrapped lines are what a scroll position counts.
    const QString note = QStringLiteral("Notes on this share, typed while waiting for the copy to finish");
    QTest::keyClicks(box, note);
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(box->textCursor().selectedText(), QStringLiteral("t"));

    session.clickCheckSpeed();
    session.clickCheckSpeed();

    QCOMPARE(session.report(), note + QStringLiteral("\r\n") + reportBlock(1) + reportBlock(2));
    QCOMPARE(box->textCursor().anchor(), 2);
    QCOMPARE(box->textCursor().position(), 3);

    QScrollBar* scroll = box->verticalScrollBar();
    QVERIFY(scroll->maximum() > 2);
    scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    const int scrolledTo = scroll->value();
    QVERIFY(scrolledTo > 0 && scrolledTo < scroll->maximum());

    session.clickCheckSpeed();

    QCOMPARE(scroll->value(), scrolledTo);
    QCOMPARE(box->textCursor().anchor(), 2);
    QCOMPARE(box->textCursor().position(), 3);
    QVERIFY(session.report().endsWith(reportBlock(3)));
}

int runReportTests(int argc, char** argv)
{
    ReportTest test;
    return QTest::qExec(&test, argc, argv);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    testsupport::setUpApplication();
    int failed = runReportTests(argc, argv);
    failed += runTargetPathTests(argc, argv);
    failed += runCopySafetyTests(argc, argv);
    return failed;
}

#include "SpeedTestTest.moc"
