// The speed-test window as a person uses it: the report, the status picture
// and the count over several runs, what each kind of typed folder leads to,
// and targets where the copy could harm files or leave a stray copy behind.

#include "GuiTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <filesystem>

using namespace testsupport;

namespace fs = std::filesystem;

namespace {

const QRgb idleGreen = qRgb(76, 255, 5);
const QRgb busyRed = qRgb(255, 45, 17);

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// The block one run of the 10 MB file appends when the copy took 2.5 s.
QString reportBlock(int run)
{
    return reportStart(run)
        + QStringLiteral("Filesize:10,485,760.00 bytes\r\n"
                         "Filesize:10,240.00 KB\r\n"
                         "Filesize:10.00 MB\r\n"
                         "Total time:2.50 sec\r\n"
                         "Bytes/sec:4,194,304.00\r\n"
                         "KB/sec:4,096.00\r\n"
                         "MB/sec:4.00\r\n"
                         "Transfer completed\r\n"
                         "----------------------------------------------------------------\r\n"
                         "\r\n");
}

enum Outcome { Refused, PathError, CopyFailed, Reported };

} // namespace

class SpeedTestTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }

    void opensReadyToClickWithAReadableReport();
    void runsAreReportedOneAfterAnotherAndLeaveNoCopy();
    void aCopyWithinOneClockTickStillGetsAFullReport();
    void theCountAndThePathCheckOutliveTheWindow();
    void textTypedIntoTheReportStaysWithCaretAndScrollPosition();
    void aTypedTargetIsCompletedAndChecked_data();
    void aTypedTargetIsCompletedAndChecked();

    void aLinkInTheTargetIsReplacedNotWrittenThrough_data();
    void aLinkInTheTargetIsReplacedNotWrittenThrough();
    void theProgramFolderIsRefusedHoweverSpelled_data();
    void theProgramFolderIsRefusedHoweverSpelled();
    void aFullDiskLeavesNoPartOfTheCopy();
    void aCopyGoneBeforeTheDeleteIsReportedAfterTheReport();
};

void SpeedTestTest::opensReadyToClickWithAReadableReport()
{
    SpeedTestSession session;
    QVERIFY(session.start());
    QWidget* window = session.speedTest().widget();
    QVERIFY(QTest::qWaitForWindowActive(window));

    QCOMPARE(window->windowTitle(), QStringLiteral("Dozozeda"));
    QCOMPARE(window->size(), QSize(380, 225));
    QCOMPARE(control<QLabel>(session.speedTest(), QStringLiteral("Label1"))->text(),
             QStringLiteral("Enter the taget network share path."));
    auto* checkSpeed = control<QPushButton>(session.speedTest(), QStringLiteral("Command1"));
    QCOMPARE(checkSpeed->text(), QStringLiteral("Check speed"));
    QCOMPARE(QApplication::focusWidget(), checkSpeed);
    QTest::keyClick(window, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), session.targetBox());
    QTest::keyClick(window, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), session.reportBox());

    const QPalette palette = session.reportBox()->palette();
    QCOMPARE(palette.color(QPalette::Base), QColor(128, 128, 128));
    QCOMPARE(palette.color(QPalette::Text), QColor(Qt::white));
    QCOMPARE(session.statusColour(), idleGreen);
    // The two pictures are only held, below the visible client area.
    for (const auto* name : {"Image1", "Image2"})
        QVERIFY(control<QLabel>(session.speedTest(), QString::fromLatin1(name))->y() >= window->height());
}

void SpeedTestTest::runsAreReportedOneAfterAnotherAndLeaveNoCopy()
{
    SpeedTestSession session;
    const std::string copy = session.target.file("dummyfile.dum");
    QVERIFY(session.start());
    QCOMPARE(session.statusColour(), idleGreen);
    QRgb pictureAtStart = 0, pictureAtEnd = 0;
    QString reportAtStart;
    bool copyAbsentAtStart = false, copyWholeAtEnd = false;
    session.clock.atReading[0] = [&] {
        pictureAtStart = session.statusColour();
        reportAtStart = session.report();
        copyAbsentAtStart = entries(session.targetFolder()).isEmpty();
    };
    session.clock.atReading[1] = [&] {
        pictureAtEnd = session.statusColour();
        copyWholeAtEnd = isTestFileContent(copy);
    };
    session.typeTarget(session.targetFolder());

    session.clickCheckSpeed();
    session.clickCheckSpeed();

    QCOMPARE(pictureAtStart, busyRed);
    QCOMPARE(reportAtStart, reportStart(1));
    QVERIFY(copyAbsentAtStart);
    QCOMPARE(pictureAtEnd, busyRed);
    QVERIFY(copyWholeAtEnd);
    QCOMPARE(session.messages(), QStringList());
    QCOMPARE(session.report(), reportBlock(1) + reportBlock(2));
    QCOMPARE(session.statusColour(), idleGreen);
    QCOMPARE(session.speedTest().transferCount(), qint16(2));
    QCOMPARE(session.clock.readings(), 4);
    QCOMPARE(entries(session.targetFolder()), QStringList());
    QVERIFY(isTestFileContent(session.testFile()));
}

void SpeedTestTest::aCopyWithinOneClockTickStillGetsAFullReport()
{
    SpeedTestSession session(std::chrono::nanoseconds(0), std::chrono::milliseconds(1));
    QVERIFY(session.start());
    session.typeTarget(session.targetFolder());

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
}

void SpeedTestTest::theCountAndThePathCheckOutliveTheWindow()
{
    SpeedTestSession session;
    QVERIFY(session.start());
    session.typeTarget(session.targetFolder());
    session.clickCheckSpeed();
    // A copy that fails counts as a run; a folder that fails the check does not.
    session.typeTarget(QStringLiteral("  ") + session.targetFolder());
    session.clickCheckSpeed();
    session.typeTarget(session.targetFolder() + QStringLiteral("/missing"));
    session.clickCheckSpeed();
    QCOMPARE(session.messages().size(), 2);
    QCOMPARE(session.speedTest().transferCount(), qint16(2));

    session.closeSpeedTest();
    QVERIFY(!session.speedTest().isLoaded());
    QVERIFY(!session.programEnded());
    QVERIFY(session.openSpeedTest());

    QCOMPARE(session.targetBox()->text(), QString());
    QCOMPARE(session.report(), QString());
    QCOMPARE(session.statusColour(), idleGreen);
    QCOMPARE(session.speedTest().pathError(), std::optional<bool>(true));
    session.typeTarget(session.targetFolder());
    session.clickCheckSpeed();
    QCOMPARE(session.messages().size(), 2);
    QCOMPARE(session.report(), reportBlock(3));
    QCOMPARE(session.speedTest().pathError(), std::optional<bool>(false));
}

void SpeedTestTest::textTypedIntoTheReportStaysWithCaretAndScrollPosition()
{
    SpeedTestSession session;
    QVERIFY(session.start());
    session.typeTarget(session.targetFolder());
    QPlainTextEdit* box = session.reportBox();
    // Long enough to wrap: wrapped lines are what a scroll position counts.
    const QString note = QStringLiteral("Notes on this share, typed while waiting for the copy to finish");
    QTest::keyClicks(box, note);
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);

    session.clickCheckSpeed();
    session.clickCheckSpeed();

    QCOMPARE(session.report(), note + QStringLiteral("\r\n") + reportBlock(1) + reportBlock(2));
    QCOMPARE(box->textCursor().selectedText(), QStringLiteral("t"));
    QCOMPARE(box->textCursor().anchor(), 2);
    QScrollBar* scroll = box->verticalScrollBar();
    scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    const int scrolledTo = scroll->value();
    QVERIFY(scrolledTo > 0 && scrolledTo < scroll->maximum());

    session.clickCheckSpeed();

    QCOMPARE(scroll->value(), scrolledTo);
    QCOMPARE(box->textCursor().selectedText(), QStringLiteral("t"));
    QCOMPARE(box->textCursor().anchor(), 2);
    QVERIFY(session.report().endsWith(reportBlock(3)));
}

void SpeedTestTest::aTypedTargetIsCompletedAndChecked_data()
{
    // %1 is an existing folder that holds one file, notes.txt.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("completed");
    QTest::addColumn<int>("outcome");
    QTest::newRow("nothing") << QString() << QString() << int(Refused);
    QTest::newRow("spaces only") << QStringLiteral("   ") << QStringLiteral("   ") << int(Refused);
    QTest::newRow("bare") << QStringLiteral("%1") << QStringLiteral("%1\\") << int(Reported);
    QTest::newRow("ends in a backslash") << QStringLiteral("%1\\") << QStringLiteral("%1\\") << int(Reported);
    QTest::newRow("ends in a slash") << QStringLiteral("%1/") << QStringLiteral("%1/\\") << int(Reported);
    // The backslash goes after the spaces, which then belong to the folder's name.
    QTest::newRow("trailing spaces") << QStringLiteral("%1  ") << QStringLiteral("%1  \\") << int(PathError);
    QTest::newRow("missing folder") << QStringLiteral("%1/missing") << QStringLiteral("%1/missing\\") << int(PathError);
    QTest::newRow("a file") << QStringLiteral("%1/notes.txt") << QStringLiteral("%1/notes.txt\\") << int(PathError);
    // The check trims the spaces, the copy does not.
    QTest::newRow("leading spaces") << QStringLiteral("  %1") << QStringLiteral("  %1\\") << int(CopyFailed);
}

void SpeedTestTest::aTypedTargetIsCompletedAndChecked()
{
    QFETCH(QString, typed);
    QFETCH(QString, completed);
    QFETCH(int, outcome);
    SpeedTestSession session;
    const QString folder = session.targetFolder();
    writeFile(session.target.file("notes.txt"), "not a folder");
    QVERIFY(session.start());
    session.typeTarget(typed.arg(folder));

    session.clickCheckSpeed();

    const QStringList messages[] = {
        {errorBox(QStringLiteral("You must enter a target path"))},
        {errorBox(QStringLiteral("Path error!, check your path and try again!"))},
        {errorBox(QStringLiteral("Transfer failed: Cannot create '  %1/dummyfile.dum': No such file or directory").arg(folder))},
        {},
    };
    const QString reports[] = {QString(), QString(), reportStart(1), reportBlock(1)};
    QCOMPARE(session.targetBox()->text(), completed.arg(folder));
    QCOMPARE(session.messages(), messages[outcome]);
    QCOMPARE(session.report(), reports[outcome]);
    QCOMPARE(session.statusColour(), outcome == CopyFailed ? busyRed : idleGreen);
    QCOMPARE(session.speedTest().transferCount(), qint16(outcome >= CopyFailed));
    QCOMPARE(session.speedTest().pathError(), outcome == Refused ? std::nullopt : std::optional<bool>(outcome == PathError));
    QCOMPARE(entries(session.targetFolder()), QStringList{QStringLiteral("notes.txt")});
    QCOMPARE(readFile(session.target.file("notes.txt")), std::string("not a folder"));
    QVERIFY(isTestFileContent(session.testFile()));
}

void SpeedTestTest::aLinkInTheTargetIsReplacedNotWrittenThrough_data()
{
    QTest::addColumn<QString>("pointsTo");
    QTest::newRow("a file elsewhere") << QStringLiteral("keep.txt");
    QTest::newRow("the test file itself") << QString();
    QTest::newRow("nothing yet") << QStringLiteral("absent");
}

void SpeedTestTest::aLinkInTheTargetIsReplacedNotWrittenThrough()
{
    QFETCH(QString, pointsTo);
    TempFolder elsewhere;
    writeFile(elsewhere.file("keep.txt"), "keep me");
    SpeedTestSession session;
    QVERIFY(session.start());
    fs::create_symlink(pointsTo.isEmpty() ? session.testFile() : elsewhere.file(pointsTo.toStdString()),
                       session.target.file("dummyfile.dum"));
    session.typeTarget(session.targetFolder());

    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList());
    QCOMPARE(session.report(), reportBlock(1));
    QCOMPARE(entries(session.targetFolder()), QStringList());
    QCOMPARE(entries(qs(elsewhere.path())), QStringList{QStringLiteral("keep.txt")});
    QCOMPARE(readFile(elsewhere.file("keep.txt")), std::string("keep me"));
    QVERIFY(isTestFileContent(session.testFile()));
}

void SpeedTestTest::theProgramFolderIsRefusedHoweverSpelled_data()
{
    // %1 is the program folder, %2 a link to it.
    QTest::addColumn<QString>("typed");
    QTest::newRow("plain") << QStringLiteral("%1");
    QTest::newRow("with a dot and doubled separators") << QStringLiteral("%1/.//");
    QTest::newRow("through a linked folder") << QStringLiteral("%2");
}

void SpeedTestTest::theProgramFolderIsRefusedHoweverSpelled()
{
    QFETCH(QString, typed);
    SpeedTestSession session;
    fs::create_directory_symlink(session.programFolder(), session.target.file("program"));
    QVERIFY(session.start());
    session.typeTarget(typed.arg(qs(session.programFolder()), qs(session.target.file("program"))));

    session.clickCheckSpeed();

    const QStringList messages = session.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(errorBox(QStringLiteral("Transfer failed: Cannot copy '") + qs(session.testFile())
                                             + QStringLiteral("' to '"))),
             qPrintable(messages[0]));
    QVERIFY2(messages[0].endsWith(QStringLiteral("': it is the same file; choose a folder other than the program's own")),
             qPrintable(messages[0]));
    QVERIFY(isTestFileContent(session.testFile()));
    QCOMPARE(session.report(), reportStart(1));
    QCOMPARE(session.statusColour(), busyRed);
}

void SpeedTestTest::aFullDiskLeavesNoPartOfTheCopy()
{
    SmallDisk disk(5);
    if (!disk.available())
        QSKIP("mounting a small tmpfs needs root");
    SpeedTestSession session;
    QVERIFY(session.start());
    session.typeTarget(qs(disk.path()));

    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList{errorBox(QStringLiteral("Transfer failed: Cannot write '") + qs(disk.path())
                                                      + QStringLiteral("/dummyfile.dum': No space left on device"))});
    QCOMPARE(entries(qs(disk.path())), QStringList());
    QCOMPARE(session.report(), reportStart(1));
    QCOMPARE(session.statusColour(), busyRed);
    QVERIFY(isTestFileContent(session.testFile()));
}

void SpeedTestTest::aCopyGoneBeforeTheDeleteIsReportedAfterTheReport()
{
    SpeedTestSession session;
    QVERIFY(session.start());
    session.typeTarget(session.targetFolder());
    // Someone else removes the copy while the report is being written.
    session.clock.atReading[1] = [&] { fs::remove(session.target.file("dummyfile.dum")); };
    QStringList seen;
    platform::setMessageBoxHandler([&](const platform::MessageBoxCall& box) {
        seen << session.report() << describe(box);
    });

    session.clickCheckSpeed();

    QCOMPARE(seen, (QStringList{reportBlock(1),
                                errorBox(QStringLiteral("Error deleting remote dummyfile! Check your permission settings!"))}));
    QCOMPARE(session.report(), reportBlock(1));
    QCOMPARE(session.statusColour(), idleGreen);
}

QTEST_MAIN(SpeedTestTest)
#include "SpeedTestTest.moc"
