#include "CompactFont.h"
#include "NumberFormat.h"
#include "QtWindowPeer.h"
#include "QtWindowingLayer.h"
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

#include <csignal>

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

private:
    qtlayer::QtWindowingLayer m_layer;
};

QTEST_MAIN(QtLayerTest)
#include "QtLayerTest.moc"
