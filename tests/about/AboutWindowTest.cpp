#include "Forms.h"
#include "GuiTestSupport.h"
#include "TextControls.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

class AboutWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::setUpApplication(); }

    void showsTheNoticeTheSameEveryTimeItOpens()
    {
        testsupport::GuiTestEnvironment env;
        Forms forms;
        forms.form1.Show();
        for (int opening = 0; opening < 2; ++opening) {
            forms.form1.widget()->findChild<QAction*>(QStringLiteral("Info"))->trigger();
            QWidget* window = forms.form3.widget();
            QVERIFY(window);
            QCOMPARE(window->windowTitle(), QStringLiteral("Dozozeda v1.1"));
            QCOMPARE(window->size(), QSize(183, 109));
            QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            auto* label = testsupport::control<QLabel>(forms.form3, QStringLiteral("Label1"));
            QCOMPARE(platform::Caption(label), QStringLiteral("\r\n\r\nWritten by the Dozozeda developers.\r\n"
                                                              " If you like it, send a mail to: dozozeda@example.org"));
            // Line breaks reach the screen as line breaks, never as a CR glyph.
            QVERIFY(!label->text().contains(QLatin1Char('\r')));
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
            window->close();
            QVERIFY(!forms.form3.isLoaded());
        }
    }
};

QTEST_MAIN(AboutWindowTest)
#include "AboutWindowTest.moc"
