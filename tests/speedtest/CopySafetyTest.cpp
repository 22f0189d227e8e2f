// Targets that could make the copy harm files it has no business with, or
// leave a stray copy behind.

#include "SpeedTestSession.h"
#include "SpeedTestSuites.h"
#include "TempFolder.h"

#include "MessageBox.h"

#include <QTest>

#include <filesystem>

using speedtest::entryExists;
using speedtest::errorBox;
using speedtest::isTestFileContent;
using speedtest::kTenMegabytes;
using speedtest::reportBlock;
using speedtest::reportStart;
using speedtest::SpeedTestSession;
using testsupport::TempFolder;

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

class CopySafetyTest : public QObject {
    Q_OBJECT

private slots:
    void aLinkInTheTargetIsReplacedNotWrittenThrough_data();
    void aLinkInTheTargetIsReplacedNotWrittenThrough();
    void theProgramFolderIsRefusedHoweverSpelled_data();
    void theProgramFolderIsRefusedHoweverSpelled();
    void aFullDiskLeavesNoPartOfTheCopy();
    void aCopyGoneBeforeTheDeleteIsReportedAfterTheReport();
};

void CopySafetyTest::aLinkInTheTargetIsReplacedNotWrittenThrough_data()
{
    QTest::addColumn<QString>("pointsTo");
    QTest::newRow("a file elsewhere") << QStringLiteral("elsewhere");
    QTest::newRow("the test file itself") << QStringLiteral("test file");
    QTest::newRow("nothing yet") << QStringLiteral("dangling");
}

void CopySafetyTest::aLinkInTheTargetIsReplacedNotWrittenThrough()
{
    QFETCH(QString, pointsTo);
    TempFolder target;
    TempFolder elsewhere;
    testsupport::writeFile(elsewhere.file("keep.txt"), "keep me");
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    const std::string linkTarget = pointsTo == QLatin1String("elsewhere") ? elsewhere.file("keep.txt")
        : pointsTo == QLatin1String("test file")                          ? session.testFile()
                                                                           : elsewhere.file("absent");
    fs::create_symlink(linkTarget, target.file("dummyfile.dum"));
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(target.path()));

    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList());
    QCOMPARE(session.report(), reportBlock(1));
    QVERIFY(!entryExists(target.file("dummyfile.dum")));
    QCOMPARE(testsupport::readFile(elsewhere.file("keep.txt")), std::string("keep me"));
    QVERIFY(!entryExists(elsewhere.file("absent")));
    QVERIFY(isTestFileContent(session.testFile(), kTenMegabytes));
}

void CopySafetyTest::theProgramFolderIsRefusedHoweverSpelled_data()
{
    // %1 is the program folder, %2 a link to it, %3 its name.
    QTest::addColumn<QString>("typed");
    QTest::newRow("plain") << QStringLiteral("%1");
    QTest::newRow("with a dot") << QStringLiteral("%1/./");
    QTest::newRow("doubled separators") << QStringLiteral("%1//");
    QTest::newRow("through its parent") << QStringLiteral("%1/../%3");
    QTest::newRow("through a linked folder") << QStringLiteral("%2");
}

void CopySafetyTest::theProgramFolderIsRefusedHoweverSpelled()
{
    QFETCH(QString, typed);
    SpeedTestSession session;
    TempFolder links;
    fs::create_directory_symlink(session.programFolder(), links.file("program"));
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    const fs::path programFolder(session.programFolder());
    session.typeTarget(typed.replace(QStringLiteral("%1"), qs(programFolder.string()))
                           .replace(QStringLiteral("%2"), qs(links.file("program")))
                           .replace(QStringLiteral("%3"), qs(programFolder.filename().string())));

    session.clickCheckSpeed();

    const QStringList messages = session.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(errorBox(QStringLiteral("Transfer failed: Cannot copy '")
                                             + qs(session.testFile()) + QStringLiteral("' to '"))),
             qPrintable(messages[0]));
    QVERIFY2(messages[0].endsWith(QStringLiteral("': it is the same file; choose a folder other than the program's own")),
             qPrintable(messages[0]));
    QVERIFY(isTestFileContent(session.testFile(), kTenMegabytes));
    QCOMPARE(session.report(), reportStart(1));
    QVERIFY(session.showsBusyPicture());
}

void CopySafetyTest::aFullDiskLeavesNoPartOfTheCopy()
{
    testsupport::SmallDisk disk(5);
    if (!disk.available())
        QSKIP("mounting a small tmpfs needs root");
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(disk.path()));

    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList{errorBox(QStringLiteral("Transfer failed: Cannot write '") + qs(disk.path())
                                                      + QStringLiteral("/dummyfile.dum': No space left on device"))});
    QVERIFY(fs::is_empty(disk.path()));
    QCOMPARE(session.report(), reportStart(1));
    QVERIFY(session.showsBusyPicture());
    QCOMPARE(session.speedTest().transferCount(), qint16(1));
    QVERIFY(isTestFileContent(session.testFile(), kTenMegabytes));
}

void CopySafetyTest::aCopyGoneBeforeTheDeleteIsReportedAfterTheReport()
{
    TempFolder target;
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(qs(target.path()));
    // Someone else removes the copy while the report is being written.
    session.clock().atReading(1, [&] { fs::remove(target.file("dummyfile.dum")); });
    QStringList seen;
    platform::setMessageBoxHandler([&](const platform::MessageBoxCall& box) {
        seen << session.report() << speedtest::describe(box);
    });

    session.clickCheckSpeed();

    QCOMPARE(seen, (QStringList{reportBlock(1),
                                errorBox(QStringLiteral("Error deleting remote dummyfile! Check your permission settings!"))}));
    QCOMPARE(session.report(), reportBlock(1));
    QVERIFY(session.showsIdlePicture());
    QCOMPARE(session.speedTest().transferCount(), qint16(1));
}

int runCopySafetyTests(int argc, char** argv)
{
    CopySafetyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CopySafetyTest.moc"
