#include "MessageBox.h"

#include <QMessageBox>

namespace platform {

namespace {

void showModal(const MessageBoxCall& call)
{
    // No parent: the window that asked may be unloaded while the box is open
    // (the session ending), and a box owned by it would be deleted twice.
    QMessageBox box(call.style == vbCritical ? QMessageBox::Critical : QMessageBox::NoIcon, call.title,
                    call.prompt, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::function<void(const MessageBoxCall&)>& messageBoxHandler()
{
    static std::function<void(const MessageBoxCall&)> handler = showModal;
    return handler;
}

} // namespace

void MsgBox(const QString& prompt, int style, const QString& title)
{
    messageBoxHandler()({prompt, style, title});
}

void setMessageBoxHandler(std::function<void(const MessageBoxCall&)> handler)
{
    messageBoxHandler() = handler ? std::move(handler) : showModal;
}

} // namespace platform
