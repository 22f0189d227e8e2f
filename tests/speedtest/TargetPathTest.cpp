// How the folder typed into the speed-test window is completed and checked,
// and what each kind of unusable folder leaves on screen.

#include "SpeedTestSession.h"
#include "SpeedTestSuites.h"
#include "TempFolder.h"

#include <QTest>

#include <filesystem>

using speedtest::errorBox;
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

const QString pathError = errorBox(QStringLiteral("Path error!, check your path and try again!"));

} // namespace

class TargetPathTest : public QObject {
    Q_OBJECT

private slots:
    void anEmptyTargetIsRefusedAlone_data();
    void anEmptyTargetIsRefusedAlone();
    void theTargetGetsOneBackslash_data();
    void theTargetGetsOneBackslash();
    void aTargetThatIsNoFolderLeavesTheWindowAsItWas();
    void leadingSpacesPassTheCheckButFailTheCopy();
};

void TargetPathTest::anEmptyTargetIsRefusedAlone_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("nothing") << QString();
    QTest::newRow("spaces only") << QStringLiteral("   ");
}

void TargetPathTest::anEmptyTargetIsRefusedAlone()
{
    QFETCH(QString, typed);
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(typed);

    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList{errorBox(QStringLiteral("You must enter a target path"))});
    QCOMPARE(session.targetBox()->text(), typed);
    QCOMPARE(session.report(), QString());
    QVERIFY(session.showsIdlePicture());
    QCOMPARE(session.speedTest().transferCount(), qint16(0));
    QCOMPARE(session.speedTest().pathError(), std::nullopt);
    QCOMPARE(session.clock().readings(), 0);
}

void TargetPathTest::theTargetGetsOneBackslash_data()
{
    // %1 is an existing, empty folder.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("completed");
    QTest::addColumn<bool>("found");
    QTest::newRow("bare") << QStringLiteral("%1") << QStringLiteral("%1\\") << true;
    QTest::newRow("ends in a backslash") << QStringLiteral("%1\\") << QStringLiteral("%1\\") << true;
    QTest::newRow("ends in a slash") << QStringLiteral("%1/") << QStringLiteral("%1/\\") << true;
    // The backslash goes after the spaces, which then belong to the folder's name.
    QTest::newRow("trailing spaces") << QStringLiteral("%1  ") << QStringLiteral("%1  \\") << false;
}

void TargetPathTest::theTargetGetsOneBackslash()
{
    QFETCH(QString, typed);
    QFETCH(QString, completed);
    QFETCH(bool, found);
    TempFolder target;
    const QString folder = qs(target.path());
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(typed.arg(folder));

    session.clickCheckSpeed();
    session.clickCheckSpeed();

    QCOMPARE(session.targetBox()->text(), completed.arg(folder));
    if (found) {
        QCOMPARE(session.messages(), QStringList());
        QCOMPARE(session.report(), reportBlock(1) + reportBlock(2));
    } else {
        QCOMPARE(session.messages(), (QStringList{pathError, pathError}));
        QCOMPARE(session.report(), QString());
    }
    QVERIFY(std::filesystem::is_empty(target.path()));
}

void TargetPathTest::aTargetThatIsNoFolderLeavesTheWindowAsItWas()
{
    TempFolder target;
    const QString folder = qs(target.path());
    testsupport::writeFile(target.file("notes.txt"), "not a folder");
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(folder);
    session.clickCheckSpeed();
    QCOMPARE(session.report(), reportBlock(1));

    session.typeTarget(folder + QStringLiteral("/missing"));
    session.clickCheckSpeed();

    QCOMPARE(session.messages(), QStringList{pathError});
    QCOMPARE(session.targetBox()->text(), folder + QStringLiteral("/missing\\"));
    QCOMPARE(session.report(), reportBlock(1));
    QVERIFY(session.showsIdlePicture());
    QCOMPARE(session.speedTest().transferCount(), qint16(1));
    QCOMPARE(session.speedTest().pathError(), std::optional<bool>(true));
    QVERIFY(!std::filesystem::exists(target.file("missing")));

    session.typeTarget(qs(target.file("notes.txt")));
    session.clickCheckSpeed();

    QCOMPARE(session.messages(), (QStringList{pathError, pathError}));
    QCOMPARE(session.report(), reportBlock(1));
    QCOMPARE(testsupport::readFile(target.file("notes.txt")), std::string("not a folder"));

    session.typeTarget(folder);
    session.clickCheckSpeed();

    QCOMPARE(session.messages().size(), 2);
    QCOMPARE(session.speedTest().pathError(), std::optional<bool>(false));
    QCOMPARE(session.report(), reportBlock(1) + reportBlock(2));
}

void TargetPathTest::leadingSpacesPassTheCheckButFailTheCopy()
{
    TempFolder target;
    const QString folder = qs(target.path());
    SpeedTestSession session;
    QVERIFY(session.writeTestFile());
    QVERIFY(session.openSpeedTest());
    session.typeTarget(QStringLiteral("  ") + folder);

    session.clickCheckSpeed();

    QCOMPARE(session.speedTest().pathError(), std::optional<bool>(false));
    QCOMPARE(session.messages(), QStringList{errorBox(QStringLiteral("Transfer failed: Cannot create '  ") + folder
                                                      + QStringLiteral("/dummyfile.dum': No such file or directory"))});
    QCOMPARE(session.report(), reportStart(1));
    QVERIFY(session.showsBusyPicture());
    QCOMPARE(session.speedTest().transferCount(), qint16(1));
    QVERIFY(std::filesystem::is_empty(target.path()));
    QVERIFY(isTestFileContent(session.testFile(), kTenMegabytes));

    session.typeTarget(folder);
    session.clickCheckSpeed();

    QCOMPARE(session.messages().size(), 1);
    QCOMPARE(session.report(), reportStart(1) + reportBlock(2));
    QVERIFY(session.showsIdlePicture());
}

int runTargetPathTests(int argc, char** argv)
{
    TargetPathTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TargetPathTest.moc"
