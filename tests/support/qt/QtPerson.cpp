// A person working the Qt windows: mouse clicks and key presses through
// QTest on the real widgets, reading back what the widgets show.

#include "Person.h"

#include "MessageBox.h"
#include "QtControlPeer.h"
#include "QtWindowPeer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace testsupport {

namespace {

using qtlayer::fromUtf8;
using qtlayer::toCrLfLines;
using qtlayer::toUtf8;

const qtlayer::QtWindowPeer& peerOf(const forms::Window& window)
{
    const auto* peer = dynamic_cast<const qtlayer::QtWindowPeer*>(window.Peer());
    if (!peer)
        throw std::logic_error(window.Design().name + " is not loaded");
    return *peer;
}

QWidget* windowWidget(const forms::Window& window)
{
    return peerOf(window).widget();
}

QWidget* controlWidget(const forms::Window& window, const std::string& name)
{
    QWidget* widget = peerOf(window).controlWidget(name);
    if (!widget)
        throw std::logic_error(window.Design().name + " has no control " + name);
    return widget;
}

template <typename Widget>
Widget* as(const forms::Window& window, const std::string& name)
{
    auto* widget = qobject_cast<Widget*>(controlWidget(window, name));
    if (!widget)
        throw std::logic_error(name + " is not the kind of control the test expects");
    return widget;
}

// Only the active window has the keyboard focus.
QWidget* activated(const forms::Window& window)
{
    QWidget* top = windowWidget(window);
    if (!top->isActiveWindow()) {
        top->activateWindow();
        if (!QTest::qWaitForWindowActive(top))
            throw std::runtime_error(window.Design().name + " cannot be activated");
    }
    return top;
}

// A person clicks into a box before typing; the caret stays where it was.
QWidget* focusOn(const forms::Window& window, const std::string& control)
{
    activated(window);
    QWidget* widget = controlWidget(window, control);
    widget->setFocus(Qt::MouseFocusReason);
    return widget;
}

// Keys go where the keyboard focus is.
QWidget* keyTarget(const forms::Window& window)
{
    QWidget* top = activated(window);
    QWidget* focus = QApplication::focusWidget();
    return focus && top->isAncestorOf(focus) ? focus : top;
}

class QtPerson : public Person {
public:
    void click(const forms::Window& window, const std::string& control) override
    {
        QTest::mouseClick(controlWidget(window, control), Qt::LeftButton);
    }

    void chooseMenu(const forms::Window& window) override
    {
        auto* main = qobject_cast<QMainWindow*>(windowWidget(window));
        const forms::ControlDesign* item = window.Design().menuItem();
        if (!main || !item)
            throw std::logic_error(window.Design().name + " has no menu");
        QMenuBar* bar = main->menuBar();
        QAction* action = bar->findChild<QAction*>(fromUtf8(item->name));
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
    }

    void type(const forms::Window& window, const std::string& box, const std::string& text) override
    {
        QWidget* widget = focusOn(window, box);
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(widget, Qt::Key_Delete);
        QTest::keyClicks(widget, fromUtf8(text));
    }

    void typeMore(const forms::Window& window, const std::string& box, const std::string& text) override
    {
        QWidget* widget = focusOn(window, box);
        const QStringList lines = fromUtf8(text).split(QStringLiteral("\r\n"));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(widget, Qt::Key_Return);
            QTest::keyClicks(widget, lines[i]);
        }
    }

    void press(const forms::Window& window, Key key) override
    {
        QWidget* target = keyTarget(window);
        switch (key) {
        case Key::Tab:
            QTest::keyClick(target, Qt::Key_Tab);
            break;
        case Key::Space:
            QTest::keyClick(target, Qt::Key_Space);
            break;
        case Key::Down:
            QTest::keyClick(target, Qt::Key_Down);
            break;
        case Key::Right:
            QTest::keyClick(target, Qt::Key_Right);
            break;
        case Key::ShiftRight:
            QTest::keyClick(target, Qt::Key_Right, Qt::ShiftModifier);
            break;
        case Key::CtrlHome:
            QTest::keyClick(target, Qt::Key_Home, Qt::ControlModifier);
            break;
        case Key::Return:
            QTest::keyClick(target, Qt::Key_Return);
            break;
        }
    }

    void pressAltF4(const forms::Window& window) override
    {
        QTest::keyClick(activated(window), Qt::Key_F4, Qt::AltModifier);
    }

    void closeWindow(const forms::Window& window) override
    {
        windowWidget(window)->close();
    }

    void processEvents() override
    {
        QCoreApplication::processEvents();
    }

    void post(std::function<void()> task) override
    {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
    }

    std::string read(const forms::Window& window, const std::string& control) const override
    {
        QWidget* widget = controlWidget(window, control);
        if (const auto* box = qobject_cast<QLineEdit*>(widget))
            return toUtf8(box->text());
        if (const auto* box = qobject_cast<QPlainTextEdit*>(widget))
            return toUtf8(toCrLfLines(box->toPlainText()));
        if (const auto* label = qobject_cast<QLabel*>(widget))
            return toUtf8(toCrLfLines(label->text()));
        if (const auto* button = qobject_cast<QAbstractButton*>(widget))
            return toUtf8(button->text());
        if (const auto* frame = qobject_cast<QGroupBox*>(widget))
            return toUtf8(frame->title());
        throw std::logic_error(control + " shows no text");
    }

    std::string caption(const forms::Window& window) const override
    {
        return toUtf8(windowWidget(window)->windowTitle());
    }

    bool isShown(const forms::Window& window, const std::string& control) const override
    {
        return !controlWidget(window, control)->isHidden();
    }

    bool isEnabled(const forms::Window& window, const std::string& control) const override
    {
        return controlWidget(window, control)->isEnabled();
    }

    bool isSelected(const forms::Window& window, const std::string& option) const override
    {
        return as<QRadioButton>(window, option)->isChecked();
    }

    bool isWindowShown(const forms::Window& window) const override
    {
        return window.Loaded() && windowWidget(window)->isVisible();
    }

    std::string focused(const forms::Window& window) const override
    {
        QWidget* top = activated(window);
        QWidget* focus = QApplication::focusWidget();
        return focus && top->isAncestorOf(focus) ? toUtf8(focus->objectName()) : std::string();
    }

    std::optional<Rgb> pictureColour(const forms::Window& window, const std::string& image) const override
    {
        const QPixmap picture = as<QLabel>(window, image)->pixmap();
        if (picture.isNull())
            return std::nullopt;
        const QColor colour = picture.toImage().pixelColor(0, 0);
        return Rgb{colour.red(), colour.green(), colour.blue()};
    }

    double barFilled(const forms::Window& window, const std::string& bar) const override
    {
        const auto* progress = as<QProgressBar>(window, bar);
        const int span = progress->maximum() - progress->minimum();
        const int value = std::max(progress->value(), progress->minimum());
        return span > 0 ? double(value - progress->minimum()) / span : 0;
    }

    Size clientSize(const forms::Window& window) const override
    {
        QWidget* top = windowWidget(window);
        if (const auto* main = qobject_cast<QMainWindow*>(top))
            top = main->centralWidget();
        return {top->width(), top->height()};
    }

    int selectionStart(const forms::Window& window, const std::string& box) const override
    {
        return as<QPlainTextEdit>(window, box)->textCursor().selectionStart();
    }

    std::string selectedText(const forms::Window& window, const std::string& box) const override
    {
        return toUtf8(as<QPlainTextEdit>(window, box)->textCursor().selectedText());
    }

    int firstVisibleLine(const forms::Window& window, const std::string& box) const override
    {
        return as<QPlainTextEdit>(window, box)->verticalScrollBar()->value();
    }

    void scrollPageDown(const forms::Window& window, const std::string& box) override
    {
        as<QPlainTextEdit>(window, box)->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    }

    std::vector<SeenMessageBox> answeringMessageBoxes(const std::function<void()>& action) override
    {
        std::vector<SeenMessageBox> seen;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            seen.push_back({toUtf8(box->windowTitle()), toUtf8(box->text()), box->icon() == QMessageBox::Critical});
            box->button(QMessageBox::Ok)->click();
        });
        answer.start(20);
        const forms::MessageBoxHandler recording = forms::setMessageBoxHandler(nullptr);
        action();
        forms::setMessageBoxHandler(recording);
        return seen;
    }
};

} // namespace

std::unique_ptr<Person> makePerson()
{
    return std::make_unique<QtPerson>();
}

void useUsNumberFormat()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace testsupport
