#include "Window.h"

#include "HandlerGuard.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace platform {

namespace {

QList<Window*>& loadedWindows()
{
    static QList<Window*> windows;
    return windows;
}

} // namespace

Window::Window() = default;

Window::~Window()
{
    loadedWindows().removeAll(this);
    delete m_widget.data();
}

QList<Window*> Window::LoadedWindows()
{
    return loadedWindows();
}

void Window::Load()
{
    if (isLoaded())
        return;
    m_widget = CreateControls();
    m_widget->setFixedSize(m_widget->size());
    m_widget->installEventFilter(this);
    loadedWindows().append(this);
    centreOnScreen();
    Form_Load();
}

void Window::Show()
{
    Load();
    if (!m_widget->isVisible())
        m_widget->show();
}

void Window::Unload()
{
    if (!isLoaded() || m_unloading)
        return;
    m_unloading = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_unloading};

    Form_Unload();

    ForgetControls();
    QWidget* controls = m_widget.data();
    m_widget.clear();
    controls->removeEventFilter(this);
    controls->hide();
    // The close event that asked for this unload may still be on the stack.
    controls->deleteLater();
    loadedWindows().removeAll(this);

    if (loadedWindows().isEmpty())
        endProgram(0);
}

void Window::Refresh()
{
    if (isLoaded())
        platform::Refresh(m_widget);
}

void Window::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_widget->adjustSize();
    QRect frame = m_widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    m_widget->move(frame.topLeft());
}

bool Window::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_widget && event->type() == QEvent::Close) {
        // Every way of closing (close box, Alt+F4, the session ending) unloads.
        runGuarded([this] { Unload(); });
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QWidget* newFixedSingleWindow()
{
    return new QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                                    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

void Refresh(QWidget* control)
{
    if (control)
        control->repaint();
}

} // namespace platform
