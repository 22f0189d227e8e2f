#pragma once

#include <QString>

#include <functional>

namespace platform {

// Message box styles; only the critical box is used.
constexpr int vbCritical = 16;

struct MessageBoxCall {
    QString prompt;
    int style = 0;
    QString title;
};

// Shows a modal message box and returns when the user has closed it.
void MsgBox(const QString& prompt, int style, const QString& title);

// Tests record the boxes instead of showing them, so nothing waits for a click.
void setMessageBoxHandler(std::function<void(const MessageBoxCall&)> handler);

} // namespace platform
