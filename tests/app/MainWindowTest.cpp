#include "Forms.h"
#include "GuiTestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include <filesystem>

using testsupport::control;
using testsupport::GuiTestEnvironment;

namespace {

QRadioButton* option(Form1& form, int i)
{
    return control<QRadioButton>(form, QStringLiteral("Option%1").arg(i));
}

QAction* aboutEntry(Form1& form)
{
    return form.widget()->findChild<QAction*>(QStringLiteral("Info"));
}

void openSpeedTest(Forms& forms)
{
    QTest::mouseClick(option(forms.form1, 1), Qt::LeftButton);
    QTest::mouseClick(control(forms.form1, QStringLiteral("Command1")), Qt::LeftButton);
    QTest::mouseClick(control(forms.form1, QStringLiteral("Command2")), Qt::LeftButton);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::setUpApplication(); }

    void startsBorderlessCentredWithNothingChosenAndEveryCaptionFits()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        QWidget* window = forms.form1.widget();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QCOMPARE(window->windowTitle(), QStringLiteral("Dozozeda"));
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(control<QGroupBox>(forms.form1, QStringLiteral("Frame1"))->title(), QStringLiteral("Size of dummyfile"));
        QCOMPARE(aboutEntry(forms.form1)->text(), QStringLiteral("About"));
        QVERIFY(control(forms.form1, QStringLiteral("Command2"))->isHidden());
        QCOMPARE(control<QPushButton>(forms.form1, QStringLiteral("Command1"))->text(), QStringLiteral("Create dummyfile"));
        QCOMPARE(forms.form1.fileCreated(), qint16(0));
        QCOMPARE(forms.form1.sizeMB(), qint16(0));
        for (int i = 1; i <= 10; ++i) {
            QVERIFY(!option(forms.form1, i)->isChecked());
            QCOMPARE(option(forms.form1, i)->text(), i < 10 ? QStringLiteral("%1  MB").arg(i * 10) : QStringLiteral("100 MB"));
        }
        for (auto* button : window->findChildren<QAbstractButton*>()) {
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
            QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(button->text()));
        }
        QCOMPARE(static_cast<QMainWindow*>(window)->centralWidget()->size(), QSize(209, 226));
        const QPoint screenCentre = window->screen()->availableGeometry().center();
        QVERIFY((window->frameGeometry().center() - screenCentre).manhattanLength() <= 2);
    }

    void choosingASizeRemembersItWhicheverWayItIsChosen()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        QVERIFY(QTest::qWaitForWindowActive(forms.form1.widget()));
        // Focus arriving on the first option must not choose it.
        QCOMPARE(QApplication::focusWidget(), option(forms.form1, 1));
        QCOMPARE(forms.form1.sizeMB(), qint16(0));

        for (int i = 1; i <= 10; ++i) {
            QTest::mouseClick(option(forms.form1, i), Qt::LeftButton);
            QCOMPARE(forms.form1.sizeMB(), qint16(i * 10));
        }
        option(forms.form1, 3)->setFocus();
        QTest::keyClick(option(forms.form1, 3), Qt::Key_Space);
        QCOMPARE(forms.form1.sizeMB(), qint16(30));
        QTest::keyClick(option(forms.form1, 3), Qt::Key_Down);
        QCOMPARE(forms.form1.sizeMB(), qint16(40));
        // A screen reader toggles the button without a click.
        option(forms.form1, 7)->setChecked(true);
        QCOMPARE(forms.form1.sizeMB(), qint16(70));

        QVERIFY(!std::filesystem::exists(env.dummyFile()));
        QVERIFY(control(forms.form1, QStringLiteral("Command2"))->isHidden());
        QCOMPARE(env.messages(), QStringList());
    }

    void theOtherWindowsOpenOnceKeepTheirContentsAndCloseAlone()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        aboutEntry(forms.form1)->trigger();
        QWidget* about = forms.form3.widget();
        QVERIFY(about && about->isVisible());
        aboutEntry(forms.form1)->trigger();
        QCOMPARE(forms.form3.widget(), about);

        openSpeedTest(forms);
        QWidget* speedTest = forms.form2.widget();
        QVERIFY(speedTest && speedTest->isVisible());
        QCOMPARE(speedTest->windowTitle(), QStringLiteral("Dozozeda"));
        QTest::keyClicks(control(forms.form2, QStringLiteral("Text1")), "/mnt/nas");
        QTest::mouseClick(control(forms.form1, QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(forms.form2.widget(), speedTest);
        QCOMPARE(control<QLineEdit>(forms.form2, QStringLiteral("Text1"))->text(), QStringLiteral("/mnt/nas"));
        QCOMPARE(platform::Window::LoadedWindows().size(), 3);

        // Every control a person can reach has a name a screen reader can say.
        for (platform::Window* window : {static_cast<platform::Window*>(&forms.form1), static_cast<platform::Window*>(&forms.form2)}) {
            for (QWidget* widget : window->widget()->findChildren<QWidget*>()) {
                if (widget->focusPolicy() == Qt::NoFocus && !qobject_cast<QProgressBar*>(widget))
                    continue;
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
            }
        }

        about->close();
        speedTest->close();
        QVERIFY(!forms.form3.isLoaded() && !forms.form2.isLoaded());
        QVERIFY(forms.form1.isLoaded());
        QVERIFY(!env.programEnded());
    }

    void closingRemovesOnlyTheFileThisRunWroteAndUnloadsEveryWindow_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("removedMeanwhile");
        QTest::newRow("nothing written") << false << false;
        QTest::newRow("written") << true << false;
        QTest::newRow("written, then removed by someone else") << true << true;
    }

    void closingRemovesOnlyTheFileThisRunWroteAndUnloadsEveryWindow()
    {
        QFETCH(bool, write);
        QFETCH(bool, removedMeanwhile);
        GuiTestEnvironment env;
        testsupport::writeFile(env.dummyFile(), "left by an earlier run");
        Forms forms;
        forms.form1.Show();
        if (write)
            openSpeedTest(forms);
        if (removedMeanwhile)
            std::filesystem::remove(env.dummyFile());
        aboutEntry(forms.form1)->trigger();
        forms.form1.widget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(forms.form1.widget()));

        QTest::keyClick(forms.form1.widget(), Qt::Key_F4, Qt::AltModifier);

        QCOMPARE(std::filesystem::exists(env.dummyFile()), !write);
        if (!write)
            QCOMPARE(testsupport::readFile(env.dummyFile()), std::string("left by an earlier run"));
        QVERIFY(platform::Window::LoadedWindows().isEmpty());
        QVERIFY(!forms.form1.isLoaded() && !forms.form2.isLoaded() && !forms.form3.isLoaded());
        QCOMPARE(env.programEnded(), std::optional<int>(0));
        QCOMPARE(env.messages(), QStringList());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
