#include "QtWindowPeer.h"

#include "WindowingLayer.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qtlayer {

using forms::ControlKind;

// Carries the widgets' events to the window logic. It belongs to the
// top-level widget, which may outlive the window's load by a moment (a close
// event may still be on the stack), so it forgets the window at unload.
class EventForwarder : public QObject {
public:
    EventForwarder(QWidget* widget, forms::Window& window)
        : QObject(widget)
        , window(&window)
    {
        widget->installEventFilter(this);
    }

    void clicked(const std::string& control) const
    {
        if (window)
            window->Clicked(control);
    }

    forms::Window* window;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent() && event->type() == QEvent::Close) {
            if (window)
                window->CloseRequested();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

namespace {

int pixels(forms::Twips twips)
{
    return (twips + 7) / 15;
}

QRect pixels(const forms::Bounds& bounds)
{
    return {pixels(bounds.left), pixels(bounds.top), pixels(bounds.width), pixels(bounds.height)};
}

// The report box's system colours. Away from Windows those two can be nearly
// the same, so a fixed readable pair stands in for them.
QColor systemColour(forms::SystemColour colour, QColor fallback)
{
#ifdef Q_OS_WIN
    const auto fromSystem = [](int index) {
        const COLORREF c = GetSysColor(index);
        return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
    };
    switch (colour) {
    case forms::SystemColour::InactiveCaption:
        return fromSystem(COLOR_INACTIVECAPTION);
    case forms::SystemColour::WindowBackground:
        return fromSystem(COLOR_WINDOW);
    case forms::SystemColour::Default:
        break;
    }
    return fallback;
#else
    switch (colour) {
    case forms::SystemColour::InactiveCaption:
        return QColor(128, 128, 128);
    case forms::SystemColour::WindowBackground:
        return QColor(Qt::white);
    case forms::SystemColour::Default:
        break;
    }
    return fallback;
#endif
}

void colour(QWidget* control, const forms::ControlDesign& design)
{
    if (design.background == forms::SystemColour::Default && design.foreground == forms::SystemColour::Default)
        return;
    QPalette palette = control->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, systemColour(design.background, palette.color(group, QPalette::Base)));
        palette.setColor(group, QPalette::Text, systemColour(design.foreground, palette.color(group, QPalette::Text)));
    }
    control->setPalette(palette);
}

} // namespace

QtWindowPeer::QtWindowPeer(forms::Window& window)
    : m_window(window)
{
    m_widget = createWindow();
    m_events = new EventForwarder(m_widget, m_window);
    for (const forms::ControlDesign& design : m_window.Design().controls) {
        QWidget* container = design.container.empty() ? m_clientArea : controlWidget(design.container);
        createControl(design, container);
    }
    setTabOrder();
    if (auto* main = qobject_cast<QMainWindow*>(m_widget.data()))
        main->resize(m_clientArea->minimumSize() + QSize(0, main->menuBar()->sizeHint().height()));
    m_widget->setFixedSize(m_widget->size());
    centreOnScreen();
}

QtWindowPeer::~QtWindowPeer()
{
    m_events->window = nullptr;
    if (m_widget) {
        m_widget->hide();
        // The close event that asked for this unload may still be on the stack.
        m_widget->deleteLater();
    }
}

QWidget* QtWindowPeer::createWindow()
{
    const forms::WindowDesign& design = m_window.Design();
    const QSize client(pixels(design.clientWidth), pixels(design.clientHeight));
    QWidget* window = nullptr;
    if (design.border == forms::BorderStyle::None) {
        // A tool window stays out of the taskbar; frameless, it has no title bar.
        auto* main = new QMainWindow(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        m_clientArea = new QWidget(main);
        m_clientArea->setObjectName(QStringLiteral("centralwidget"));
        m_clientArea->setFixedSize(client);
        main->setCentralWidget(m_clientArea);
        main->menuBar()->setObjectName(QStringLiteral("menubar"));
        // Without a title bar there is no close box; the window closes itself
        // on Alt+F4 even where no window manager provides that key.
        auto* close = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), main);
        QObject::connect(close, &QShortcut::activated, main, &QWidget::close);
        window = main;
    } else {
        window = new QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        m_clientArea = window;
    }
    window->setObjectName(fromUtf8(design.name));
    window->setWindowTitle(fromUtf8(design.caption));
    window->resize(client);
    return window;
}

void QtWindowPeer::createControl(const forms::ControlDesign& design, QWidget* container)
{
    const QString caption = fromUtf8(design.caption);
    const std::string name = design.name;
    // The widgets, and so their connections, may outlive this peer by a moment.
    EventForwarder* const events = m_events;
    std::unique_ptr<QtControlPeer> peer;
    QWidget* widget = nullptr;
    switch (design.kind) {
    case ControlKind::CommandButton: {
        auto* button = new QPushButton(caption, container);
        QObject::connect(button, &QPushButton::clicked, events, [events, name] { events->clicked(name); });
        widget = button;
        peer = std::make_unique<QtCaptionPeer>(button);
        break;
    }
    case ControlKind::OptionButton: {
        auto* option = new QRadioButton(caption, container);
        // An option counts as chosen whenever it becomes selected, by mouse,
        // keyboard or a screen reader, which toggles without clicking.
        QObject::connect(option, &QRadioButton::toggled, events, [events, name](bool selected) {
            if (selected)
                events->clicked(name);
        });
        widget = option;
        peer = std::make_unique<QtCaptionPeer>(option);
        break;
    }
    case ControlKind::Frame:
        widget = new QGroupBox(caption, container);
        peer = std::make_unique<QtCaptionPeer>(widget);
        break;
    case ControlKind::TextBox:
        if (design.multiLine) {
            auto* box = new QPlainTextEdit(caption, container);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setTabChangesFocus(true);
            widget = box;
            peer = std::make_unique<QtPlainTextPeer>(box);
        } else {
            auto* box = new QLineEdit(caption, container);
            widget = box;
            peer = std::make_unique<QtLineEditPeer>(box);
        }
        colour(widget, design);
        break;
    case ControlKind::Label:
    case ControlKind::Image: {
        auto* label = new QLabel(container);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(design.kind == ControlKind::Label);
        widget = label;
        peer = std::make_unique<QtLabelPeer>(label);
        if (design.kind == ControlKind::Label)
            peer->setText(design.caption);
        else
            peer->setPicture(design.picture);
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(container);
        bar->setFocusPolicy(Qt::NoFocus);
        widget = bar;
        peer = std::make_unique<QtProgressPeer>(bar);
        break;
    }
    case ControlKind::MenuItem: {
        QAction* action = static_cast<QMainWindow*>(m_widget.data())->menuBar()->addAction(caption);
        action->setObjectName(fromUtf8(name));
        QObject::connect(action, &QAction::triggered, events, [events, name] { events->clicked(name); });
        m_controls[name] = std::make_unique<QtMenuItemPeer>(action);
        return;
    }
    }
    widget->setObjectName(fromUtf8(name));
    widget->setGeometry(pixels(design.bounds));
    if (!design.accessibleName.empty())
        widget->setAccessibleName(fromUtf8(design.accessibleName));
    if (!design.visible)
        widget->setVisible(false);
    m_controls[name] = std::move(peer);
}

void QtWindowPeer::setTabOrder()
{
    QWidget* previous = nullptr;
    for (const forms::ControlDesign* design : forms::inTabOrder(m_window.Design())) {
        if (!forms::takesFocus(design->kind))
            continue;
        QWidget* widget = controlWidget(design->name);
        if (previous)
            QWidget::setTabOrder(previous, widget);
        else
            widget->setFocus();
        previous = widget;
    }
}

void QtWindowPeer::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = m_widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    m_widget->move(frame.topLeft());
}

forms::ControlPeer& QtWindowPeer::control(const std::string& name)
{
    return *m_controls.at(name);
}

QWidget* QtWindowPeer::controlWidget(const std::string& name) const
{
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second->widget();
}

void QtWindowPeer::show()
{
    m_widget->show();
}

bool QtWindowPeer::isShown() const
{
    return m_widget->isVisible();
}

void QtWindowPeer::refresh()
{
    m_widget->repaint();
}

} // namespace qtlayer
