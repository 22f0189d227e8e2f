#include "Forms.h"
#include "GuiTestSupport.h"
#include "Runtime.h"

#include <QProgressBar>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <functional>

using testsupport::control;
using testsupport::GuiTestEnvironment;

namespace {

constexpr std::uintmax_t MiB = 1024 * 1024;

std::uintmax_t sizeOf(const std::string& path)
{
    std::error_code missing;
    const auto size = std::filesystem::file_size(path, missing);
    return missing ? 0 : size;
}

QString errorBox(const QString& prompt)
{
    return QStringLiteral("Major error DUDE!! (16): ") + prompt;
}

// The main window as a person sees it: size options, two buttons, a bar.
class MainWindow {
public:
    MainWindow() { m_forms.form1.Show(); }

    void chooseSize(int megabytes)
    {
        QTest::mouseClick(control(form(), QStringLiteral("Option%1").arg(megabytes / 10)), Qt::LeftButton);
    }
    void clickCreateDummyFile() { QTest::mouseClick(control(form(), QStringLiteral("Command1")), Qt::LeftButton); }
    bool testNetworkShown() const { return control(form(), QStringLiteral("Command2"))->isVisible(); }
    QProgressBar* bar() const { return control<QProgressBar>(form(), QStringLiteral("ProgressBar1")); }
    const Form1& form() const { return m_forms.form1; }

private:
    Forms m_forms;
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

class DummyFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::setUpApplication(); }

    void withoutASizeOnlyTheWarningAppears()
    {
        GuiTestEnvironment env;
        MainWindow window;
        const int barBefore = window.bar()->value();

        window.clickCreateDummyFile();

        QCOMPARE(env.messages(), QStringList{errorBox(QStringLiteral("Select the size of the file!!!"))});
        QVERIFY(!std::filesystem::exists(env.dummyFile()));
        QVERIFY(!window.testNetworkShown());
        QCOMPARE(window.bar()->value(), barBefore);
        QCOMPARE(window.form().fileCreated(), 0);
    }

    void theBarMovesWhileWritingAndTheSpeedTestIsOfferedAfter()
    {
        GuiTestEnvironment env;
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(window.form().widget()));
        window.chooseSize(10);
        // Paint what is pending now; no event loop runs during the write, so every
        // paint counted below is one the bar forced on itself.
        QCoreApplication::processEvents();
        QList<int> shown;
        connect(window.bar(), &QProgressBar::valueChanged, this, [&shown](int value) { shown.append(value); });
        PaintCounter counter;
        window.bar()->installEventFilter(&counter);

        window.clickCreateDummyFile();

        window.bar()->removeEventFilter(&counter);
        QVERIFY2(counter.paints >= 50 && counter.paints <= 200, qPrintable(QString::number(counter.paints)));
        QVERIFY2(shown.size() >= 50 && shown.size() <= 110, qPrintable(QString::number(shown.size())));
        // The write climbs to full, then the bar drops back to its start.
        QCOMPARE(shown.last(), window.bar()->minimum());
        const QList<int> climb = shown.first(shown.size() - 1);
        QVERIFY(std::adjacent_find(climb.begin(), climb.end(), std::greater_equal<int>()) == climb.end());
        QCOMPARE(climb.last(), window.bar()->maximum());
        QCOMPARE(window.form().progressBar().Min(), 1.0f);
        QCOMPARE(window.form().progressBar().Max(), 10240.0f);
        QCOMPARE(window.form().progressBar().Value(), 1.0f);

        QCOMPARE(env.messages(), QStringList());
        QVERIFY(window.testNetworkShown());
        QCOMPARE(window.form().fileCreated(), -1);
        QVERIFY(!window.form().holdsFileObjects());
        QVERIFY(!env.programEnded());
    }

    void eachWriteLeavesExactlyTheChosenSizeOfX()
    {
        GuiTestEnvironment env;
        // Longer than the new file, and not X: a stale file must be rewritten whole.
        testsupport::writeFile(env.dummyFile(), std::string(11 * MiB + 5, 'Y'));
        MainWindow window;
        window.chooseSize(10);

        window.clickCreateDummyFile();
        QVERIFY(testsupport::isTestFileContent(env.dummyFile()));
        window.clickCreateDummyFile();
        QVERIFY(testsupport::isTestFileContent(env.dummyFile()));
        QVERIFY(window.form().block().empty());

        for (const int megabytes : {100, 50, 10}) {
            window.chooseSize(megabytes);
            window.clickCreateDummyFile();
            QCOMPARE(sizeOf(env.dummyFile()), megabytes * MiB);
        }
        QCOMPARE(env.messages(), QStringList());
    }

    void aFailedWriteIsReportedAndLeavesNothingBehind_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("writtenBefore");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << false << false << QStringLiteral("No space left on device");
        QTest::newRow("full disk after a write elsewhere") << false << true << QStringLiteral("No space left on device");
        QTest::newRow("read-only folder") << true << false << QStringLiteral("Read-only file system");
    }

    void aFailedWriteIsReportedAndLeavesNothingBehind()
    {
        QFETCH(bool, readOnly);
        QFETCH(bool, writtenBefore);
        QFETCH(QString, reason);
        testsupport::SmallDisk disk(5, readOnly);
        if (!disk.available())
            QSKIP("mounting a small tmpfs needs root");
        GuiTestEnvironment env;
        MainWindow window;
        window.chooseSize(10);
        if (writtenBefore)
            window.clickCreateDummyFile();
        const std::string target = disk.path() + "/dummyfile.dum";

        platform::setProgramFolderOverride(disk.path());
        window.clickCreateDummyFile();

        QCOMPARE(env.messages().size(), 1);
        const QString message = env.messages()[0];
        QVERIFY2(message.startsWith(errorBox(QString())) && message.contains(QString::fromStdString(target))
                     && message.endsWith(reason),
                 qPrintable(message));
        QVERIFY(!std::filesystem::exists(target));
        QVERIFY(window.form().block().empty());
        QVERIFY(!window.form().holdsFileObjects());
        QCOMPARE(window.form().progressBar().Value(), window.form().progressBar().Min());
        QCOMPARE(window.bar()->value(), window.bar()->minimum());
        QCOMPARE(window.form().fileCreated(), writtenBefore ? -1 : 0);
        QCOMPARE(window.testNetworkShown(), writtenBefore);
        QCOMPARE(sizeOf(env.dummyFile()), writtenBefore ? 10 * MiB : 0);
        QVERIFY(!env.programEnded());

        platform::setProgramFolderOverride(env.programFolder());
        window.clickCreateDummyFile();
        QCOMPARE(env.messages().size(), 1);
        QCOMPARE(sizeOf(env.dummyFile()), 10 * MiB);
        QVERIFY(window.testNetworkShown());
    }
};

QTEST_MAIN(DummyFileTest)
#include "DummyFileTest.moc"
