#include "QtWindowingLayer.h"

#include "MessageBox.h"
#include "NumberFormat.h"
#include "QtWindowPeer.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

namespace qtlayer {

std::unique_ptr<forms::WindowPeer> QtWindowingLayer::createPeer(forms::Window& window)
{
    return std::make_unique<QtWindowPeer>(window);
}

void QtWindowingLayer::showMessageBox(const std::string& prompt, int style, const std::string& title)
{
    // No parent: the window that asked may be unloaded while the box is open
    // (the session ending), and a box owned by it would be deleted twice.
    QMessageBox box(style == forms::vbCritical ? QMessageBox::Critical : QMessageBox::NoIcon, fromUtf8(title),
                    toQtLines(fromUtf8(prompt)), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    m_openBoxes.push_back(&box);
    box.exec();
    std::erase(m_openBoxes, &box);
}

void QtWindowingLayer::dismissMessageBoxes()
{
    for (QMessageBox* box : m_openBoxes)
        box->done(QMessageBox::Ok);
}

std::string QtWindowingLayer::formatNumber(double value, int decimals) const
{
    return toUtf8(FormatNumber(value, decimals));
}

bool QtWindowingLayer::processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                                          const std::function<void()>& everyTick)
{
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (everyTick)
            everyTick();
        if (done())
            loop.quit();
    });
    m_waiting.push_back(&loop);
    timer.start(tick);
    bool quitting = false;
    while (!quitting && !done()) {
        // Once the application has been told to quit, every event loop
        // returns -1 at once and no event is handled any more.
        quitting = loop.exec() == -1;
    }
    m_waiting.pop_back();
    return !quitting;
}

void QtWindowingLayer::wake()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this] {
            // The innermost waiter asks its question again; the outer ones
            // will when control comes back to them.
            if (!m_waiting.empty())
                m_waiting.back()->quit();
        },
        Qt::QueuedConnection);
}

void QtWindowingLayer::endProgram(int status)
{
    // Queued: an exit asked for before the event loop has started (the main
    // window failing to load) would otherwise be forgotten when it starts.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
}

} // namespace qtlayer
