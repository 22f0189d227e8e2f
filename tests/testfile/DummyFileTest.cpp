#include "Forms.h"
#include "GuiTestSupport.h"
#include "Runtime.h"

#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <functional>

using testsupport::GuiTestEnvironment;
using testsupport::readFile;
using testsupport::SmallDisk;
using testsupport::writeFile;

namespace {

constexpr std::uintmax_t MiB = 1024 * 1024;
const QString errorTitle = QStringLiteral("Major error DUDE!!");

bool exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

std::uintmax_t sizeOf(const std::string& path)
{
    return std::filesystem::file_size(path);
}

// The main window as a person sees it: size options, two buttons, a bar.
class MainWindow {
public:
    MainWindow() { m_forms.form1.Show(); }

    bool shown() { return QTest::qWaitForWindowExposed(m_forms.form1.widget()); }

    void chooseSize(int megabytes)
    {
        QTest::mouseClick(control<QRadioButton>("Option" + QString::number(megabytes / 10)), Qt::LeftButton);
    }
    void clickCreateDummyFile() { QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton); }
    bool testNetworkShown() const { return control<QPushButton>("Command2")->isVisible(); }
    QProgressBar* bar() const { return control<QProgressBar>("ProgressBar1"); }

    const Form1& form() const { return m_forms.form1; }

private:
    template <typename Widget>
    Widget* control(const QString& name) const
    {
        return m_forms.form1.widget()->findChild<Widget*>(name);
    }

    Forms m_forms;
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class DummyFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::setUpApplication(); }

    // Choosing a size and writing.
    void withoutASizeOnlyTheWarningAppears();
    void tenMegabytesAreAllX();
    void hundredMegabytesHaveTheirExactSize();
    void aSmallerSizeAfterALargerOneLeavesOnlyTheSmaller();
    void writingTwiceGivesTheSameSize();
    void aStaleFileIsOverwritten_data();
    void aStaleFileIsOverwritten();

    // What the window shows.
    void afterAWriteTheWindowOffersTheSpeedTest();
    void theBarMovesWhileWriting();

    // When the file cannot be written.
    void aFullDiskIsReportedAndLeavesNothingBehind();
    void aFailureKeepsAnEarlierSuccess();
    void aReadOnlyFolderIsReported();
};

void DummyFileTest::withoutASizeOnlyTheWarningAppears()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());
    const int barBefore = window.bar()->value();

    window.clickCreateDummyFile();

    QCOMPARE(env.messageBoxes().size(), 1);
    QCOMPARE(env.messageBoxes()[0].prompt, QStringLiteral("Select the size of the file!!!"));
    QCOMPARE(env.messageBoxes()[0].title, errorTitle);
    QCOMPARE(env.messageBoxes()[0].style, 16);
    QVERIFY(!exists(env.dummyFile()));
    QVERIFY(!window.testNetworkShown());
    QCOMPARE(window.bar()->value(), barBefore);
    QCOMPARE(window.form().fileCreated(), 0);
    QVERIFY(!env.programEnded());
}

void DummyFileTest::tenMegabytesAreAllX()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());

    window.chooseSize(10);
    window.clickCreateDummyFile();

    QVERIFY(env.messageBoxes().isEmpty());
    const std::string content = readFile(env.dummyFile());
    QCOMPARE(content.size(), 10 * MiB);
    QCOMPARE(std::count(content.begin(), content.end(), 'X'), static_cast<std::ptrdiff_t>(10 * MiB));
}

void DummyFileTest::hundredMegabytesHaveTheirExactSize()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());

    window.chooseSize(100);
    window.clickCreateDummyFile();

    QVERIFY(env.messageBoxes().isEmpty());
    QCOMPARE(sizeOf(env.dummyFile()), 100 * MiB);
}

void DummyFileTest::aSmallerSizeAfterALargerOneLeavesOnlyTheSmaller()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());

    window.chooseSize(50);
    window.clickCreateDummyFile();
    QCOMPARE(sizeOf(env.dummyFile()), 50 * MiB);
    window.chooseSize(10);
    window.clickCreateDummyFile();

    QVERIFY(env.messageBoxes().isEmpty());
    QCOMPARE(sizeOf(env.dummyFile()), 10 * MiB);
}

void DummyFileTest::writingTwiceGivesTheSameSize()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());
    window.chooseSize(10);

    window.clickCreateDummyFile();
    QVERIFY(window.form().block().empty());
    window.clickCreateDummyFile();

    QVERIFY(window.form().block().empty());
    QVERIFY(env.messageBoxes().isEmpty());
    const std::string content = readFile(env.dummyFile());
    QCOMPARE(content.size(), 10 * MiB);
    QCOMPARE(std::count(content.begin(), content.end(), 'X'), static_cast<std::ptrdiff_t>(10 * MiB));
}

void DummyFileTest::aStaleFileIsOverwritten_data()
{
    QTest::addColumn<std::string>("stale");
    QTest::newRow("shorter") << std::string("abc");
    QTest::newRow("longer") << std::string(11 * MiB + 5, 'Y');
}

void DummyFileTest::aStaleFileIsOverwritten()
{
    QFETCH(std::string, stale);
    GuiTestEnvironment env;
    writeFile(env.dummyFile(), stale);
    MainWindow window;
    QVERIFY(window.shown());

    window.chooseSize(10);
    window.clickCreateDummyFile();

    QVERIFY(env.messageBoxes().isEmpty());
    const std::string content = readFile(env.dummyFile());
    QCOMPARE(content.size(), 10 * MiB);
    QCOMPARE(std::count(content.begin(), content.end(), 'X'), static_cast<std::ptrdiff_t>(10 * MiB));
}

void DummyFileTest::afterAWriteTheWindowOffersTheSpeedTest()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());
    QVERIFY(!window.testNetworkShown());

    window.chooseSize(10);
    window.clickCreateDummyFile();

    QVERIFY(window.testNetworkShown());
    QCOMPARE(window.form().fileCreated(), -1);
    QCOMPARE(window.form().progressBar().Min(), 1.0f);
    QCOMPARE(window.form().progressBar().Max(), 10240.0f);
    QCOMPARE(window.form().progressBar().Value(), 1.0f);
    QCOMPARE(window.bar()->value(), window.bar()->minimum());
    QVERIFY(!window.form().holdsFileObjects());
    QVERIFY(!env.programEnded());
}

void DummyFileTest::theBarMovesWhileWriting()
{
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());
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
    QVERIFY(shown.size() >= 50);
    // The write climbs to full, then the bar drops back to its start.
    QCOMPARE(shown.last(), window.bar()->minimum());
    const QList<int> climb = shown.first(shown.size() - 1);
    QVERIFY(std::adjacent_find(climb.begin(), climb.end(), std::greater_equal<int>()) == climb.end());
    QCOMPARE(climb.last(), window.bar()->maximum());
}

void DummyFileTest::aFullDiskIsReportedAndLeavesNothingBehind()
{
    SmallDisk disk(5);
    if (!disk.available())
        QSKIP("mounting a small tmpfs needs root");
    GuiTestEnvironment env;
    platform::setProgramFolderOverride(disk.path());
    MainWindow window;
    QVERIFY(window.shown());
    const std::string target = disk.path() + "/dummyfile.dum";

    window.chooseSize(10);
    window.clickCreateDummyFile();

    QCOMPARE(env.messageBoxes().size(), 1);
    const platform::MessageBoxCall box = env.messageBoxes()[0];
    QCOMPARE(box.title, errorTitle);
    QCOMPARE(box.style, 16);
    QVERIFY2(box.prompt.contains(QString::fromStdString(target)), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(QStringLiteral("No space left on device")), qPrintable(box.prompt));
    QVERIFY(!exists(target));
    QVERIFY(window.form().block().empty());
    QVERIFY(!window.form().holdsFileObjects());
    QCOMPARE(window.form().progressBar().Value(), window.form().progressBar().Min());
    QCOMPARE(window.bar()->value(), window.bar()->minimum());
    QCOMPARE(window.form().fileCreated(), 0);
    QVERIFY(!window.testNetworkShown());
    QVERIFY(!env.programEnded());

    // The window still works: in a folder with room the same click writes the file.
    platform::setProgramFolderOverride(env.programFolder());
    env.clearMessageBoxes();
    window.clickCreateDummyFile();
    QVERIFY(env.messageBoxes().isEmpty());
    QCOMPARE(sizeOf(env.dummyFile()), 10 * MiB);
    QVERIFY(window.testNetworkShown());
}

void DummyFileTest::aFailureKeepsAnEarlierSuccess()
{
    SmallDisk disk(5);
    if (!disk.available())
        QSKIP("mounting a small tmpfs needs root");
    GuiTestEnvironment env;
    MainWindow window;
    QVERIFY(window.shown());
    window.chooseSize(10);
    window.clickCreateDummyFile();
    QVERIFY(window.testNetworkShown());

    platform::setProgramFolderOverride(disk.path());
    window.clickCreateDummyFile();
    platform::setProgramFolderOverride(env.programFolder());

    QCOMPARE(env.messageBoxes().size(), 1);
    QVERIFY2(env.messageBoxes()[0].prompt.contains(QStringLiteral("No space left on device")),
             qPrintable(env.messageBoxes()[0].prompt));
    QVERIFY(!exists(disk.path() + "/dummyfile.dum"));
    QCOMPARE(window.form().fileCreated(), -1);
    QVERIFY(window.testNetworkShown());
    QCOMPARE(window.bar()->value(), window.bar()->minimum());
    QVERIFY(!window.form().holdsFileObjects());
    QCOMPARE(sizeOf(env.dummyFile()), 10 * MiB);
    QVERIFY(!env.programEnded());
}

void DummyFileTest::aReadOnlyFolderIsReported()
{
    SmallDisk disk(1, true);
    if (!disk.available())
        QSKIP("mounting a small tmpfs needs root");
    GuiTestEnvironment env;
    platform::setProgramFolderOverride(disk.path());
    MainWindow window;
    QVERIFY(window.shown());

    window.chooseSize(10);
    window.clickCreateDummyFile();

    QCOMPARE(env.messageBoxes().size(), 1);
    const platform::MessageBoxCall box = env.messageBoxes()[0];
    QCOMPARE(box.title, errorTitle);
    QVERIFY2(box.prompt.contains(QString::fromStdString(disk.path() + "/dummyfile.dum")), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(QStringLiteral("Read-only file system")), qPrintable(box.prompt));
    QVERIFY(!window.form().holdsFileObjects());
    QCOMPARE(window.form().fileCreated(), 0);
    QVERIFY(!window.testNetworkShown());
    QVERIFY(!env.programEnded());
}

QTEST_MAIN(DummyFileTest)

#include "DummyFileTest.moc"
