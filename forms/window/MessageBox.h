#pragma once

#include <functional>
#include <string>

namespace forms {

// Message box styles; only the critical box is used.
constexpr int vbCritical = 16;

struct MessageBoxCall {
    std::string prompt;
    int style = 0;
    std::string title;
};

// Shows a modal message box and returns when the user has closed it. Once
// the session is ending (SessionEnd.h) it writes to the system log instead.
void MsgBox(const std::string& prompt, int style, const std::string& title);

using MessageBoxHandler = std::function<void(const MessageBoxCall&)>;

// Tests record the boxes instead of showing them, so nothing waits for a
// click; an empty handler shows them again. Returns the handler it replaces.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

} // namespace forms
