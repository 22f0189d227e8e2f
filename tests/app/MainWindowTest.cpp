#include "Forms.h"
#include "GuiTestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include <filesystem>

using testsupport::GuiTestEnvironment;

namespace {

template <typename T = QWidget>
T* control(platform::Window& window, const char* name)
{
    T* found = window.widget() ? window.widget()->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QAction* aboutEntry(Form1& form)
{
    return form.widget()->findChild<QAction*>(QStringLiteral("Info"));
}

void writeTenMegabytes(Form1& form)
{
    QTest::mouseClick(control(form, "Option1"), Qt::LeftButton);
    QTest::mouseClick(control(form, "Command1"), Qt::LeftButton);
}

void pressAltF4(QWidget* window)
{
    QTest::keyClick(window, Qt::Key_F4, Qt::AltModifier);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::setUpApplication(); }

    void startsBorderlessCentredWithNothingChosen()
    {
        GuiTestEnvironment env;
        testsupport::writeFile(env.dummyFile(), "left by an earlier run");
        Forms forms;
        forms.form1.Show();
        QWidget* window = forms.form1.widget();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QCOMPARE(window->windowTitle(), QStringLiteral("Dozozeda"));
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(control<QGroupBox>(forms.form1, "Frame1")->title(), QStringLiteral("Size of dummyfile"));
        QCOMPARE(aboutEntry(forms.form1)->text(), QStringLiteral("About"));
        QVERIFY(control(forms.form1, "Command2")->isHidden());
        QCOMPARE(control<QPushButton>(forms.form1, "Command1")->text(), QStringLiteral("Create dummyfile"));
        QCOMPARE(forms.form1.fileCreated(), qint16(0));
        QCOMPARE(forms.form1.sizeMB(), qint16(0));
        for (int i = 1; i <= 10; ++i) {
            auto* option = control<QRadioButton>(forms.form1, qPrintable(QStringLiteral("Option%1").arg(i)));
            QVERIFY2(!option->isChecked(), qPrintable(option->objectName()));
            const QString expected = i < 10 ? QStringLiteral("%1  MB").arg(i * 10) : QStringLiteral("100 MB");
            QCOMPARE(option->text(), expected);
        }
        QCOMPARE(static_cast<QMainWindow*>(window)->centralWidget()->size(), QSize(209, 226));
        const QPoint screenCentre = window->screen()->availableGeometry().center();
        QVERIFY((window->frameGeometry().center() - screenCentre).manhattanLength() <= 2);
    }

    void everyCaptionFitsItsControl()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        for (auto* button : forms.form1.widget()->findChildren<QAbstractButton*>()) {
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
            QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(button->text()));
        }
    }

    void everyControlHasANameForAssistiveTechnology()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        writeTenMegabytes(forms.form1);
        QTest::mouseClick(control(forms.form1, "Command2"), Qt::LeftButton);
        for (platform::Window* window : {static_cast<platform::Window*>(&forms.form1), static_cast<platform::Window*>(&forms.form2)}) {
            for (QWidget* widget : window->widget()->findChildren<QWidget*>()) {
                if (widget->focusPolicy() == Qt::NoFocus && !qobject_cast<QProgressBar*>(widget))
                    continue;
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
                QVERIFY(accessible);
                QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
            }
        }
    }

    void choosingASizeRemembersItWhicheverWayItIsChosen()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        QVERIFY(QTest::qWaitForWindowActive(forms.form1.widget()));
        // Focus arriving on the first option must not choose it.
        QCOMPARE(QApplication::focusWidget(), control(forms.form1, "Option1"));
        QCOMPARE(forms.form1.sizeMB(), qint16(0));

        for (int i = 1; i <= 10; ++i) {
            QTest::mouseClick(control(forms.form1, qPrintable(QStringLiteral("Option%1").arg(i))), Qt::LeftButton);
            QCOMPARE(forms.form1.sizeMB(), qint16(i * 10));
        }
        control(forms.form1, "Option3")->setFocus();
        QTest::keyClick(control(forms.form1, "Option3"), Qt::Key_Space);
        QCOMPARE(forms.form1.sizeMB(), qint16(30));
        QTest::keyClick(control(forms.form1, "Option3"), Qt::Key_Down);
        QCOMPARE(forms.form1.sizeMB(), qint16(40));
        // A screen reader toggles the button without a click.
        control<QRadioButton>(forms.form1, "Option7")->setChecked(true);
        QCOMPARE(forms.form1.sizeMB(), qint16(70));

        QVERIFY(!std::filesystem::exists(env.dummyFile()));
        QVERIFY(control(forms.form1, "Command2")->isHidden());
        QVERIFY(env.messageBoxes().isEmpty());
    }

    void aboutAndTestNetworkOpenOnceAndKeepTheirContents()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        aboutEntry(forms.form1)->trigger();
        QWidget* about = forms.form3.widget();
        QVERIFY(about && about->isVisible());
        const QString notice = control<QLabel>(forms.form3, "Label1")->text();
        aboutEntry(forms.form1)->trigger();
        QCOMPARE(forms.form3.widget(), about);
        QCOMPARE(control<QLabel>(forms.form3, "Label1")->text(), notice);

        writeTenMegabytes(forms.form1);
        QTest::mouseClick(control(forms.form1, "Command2"), Qt::LeftButton);
        QWidget* speedTest = forms.form2.widget();
        QVERIFY(speedTest && speedTest->isVisible());
        QCOMPARE(speedTest->windowTitle(), QStringLiteral("Dozozeda"));
        QTest::keyClicks(control(forms.form2, "Text1"), "/mnt/nas");
        QTest::mouseClick(control(forms.form1, "Command2"), Qt::LeftButton);
        QCOMPARE(forms.form2.widget(), speedTest);
        QCOMPARE(control<QLineEdit>(forms.form2, "Text1")->text(), QStringLiteral("/mnt/nas"));
        QCOMPARE(platform::Window::LoadedWindows().size(), 3);
    }

    void closingWithoutAWriteLeavesAnOldDummyFileAlone()
    {
        GuiTestEnvironment env;
        testsupport::writeFile(env.dummyFile(), "left by an earlier run");
        Forms forms;
        forms.form1.Show();
        QVERIFY(QTest::qWaitForWindowActive(forms.form1.widget()));
        pressAltF4(forms.form1.widget());
        QVERIFY(!forms.form1.isLoaded());
        QCOMPARE(env.programEnded(), std::optional<int>(0));
        QCOMPARE(testsupport::readFile(env.dummyFile()), std::string("left by an earlier run"));
    }

    void closingAfterAWriteDeletesTheFileAndUnloadsEveryWindow()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        writeTenMegabytes(forms.form1);
        QVERIFY(std::filesystem::exists(env.dummyFile()));
        QTest::mouseClick(control(forms.form1, "Command2"), Qt::LeftButton);
        aboutEntry(forms.form1)->trigger();
        QCOMPARE(platform::Window::LoadedWindows().size(), 3);
        forms.form1.widget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(forms.form1.widget()));

        pressAltF4(forms.form1.widget());

        QVERIFY(!std::filesystem::exists(env.dummyFile()));
        QVERIFY(platform::Window::LoadedWindows().isEmpty());
        QVERIFY(!forms.form2.isLoaded() && !forms.form3.isLoaded());
        QCOMPARE(env.programEnded(), std::optional<int>(0));
        QVERIFY(env.messageBoxes().isEmpty());
    }

    void closingWhenTheFileIsAlreadyGoneStillEndsCleanly()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        writeTenMegabytes(forms.form1);
        aboutEntry(forms.form1)->trigger();
        std::filesystem::remove(env.dummyFile());

        forms.form1.widget()->close();

        QVERIFY(platform::Window::LoadedWindows().isEmpty());
        QCOMPARE(env.programEnded(), std::optional<int>(0));
        QVERIFY(env.messageBoxes().isEmpty());
    }

    void closingAnotherWindowKeepsTheProgramRunning()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        aboutEntry(forms.form1)->trigger();
        forms.form3.widget()->close();
        QVERIFY(!forms.form3.isLoaded());
        QVERIFY(forms.form1.isLoaded());
        QVERIFY(!env.programEnded());
    }

    void membersOutliveTheControls()
    {
        GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        writeTenMegabytes(forms.form1);
        QTest::mouseClick(control(forms.form1, "Command2"), Qt::LeftButton);
        QTest::keyClicks(control(forms.form2, "Text1"), QString::fromStdString(env.programFolder() + "/missing"));
        QTest::mouseClick(control(forms.form2, "Command1"), Qt::LeftButton);
        QCOMPARE(forms.form2.pathError(), std::optional<bool>(true));

        forms.form2.widget()->close();
        QVERIFY(!forms.form2.isLoaded());
        QTest::mouseClick(control(forms.form1, "Command2"), Qt::LeftButton);

        QCOMPARE(control<QLineEdit>(forms.form2, "Text1")->text(), QString());
        QCOMPARE(forms.form2.pathError(), std::optional<bool>(true));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
