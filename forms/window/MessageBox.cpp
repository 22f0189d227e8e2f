#include "MessageBox.h"

#include "WindowingLayer.h"

#include <utility>

namespace forms {

namespace {

MessageBoxHandler& messageBoxHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

void MsgBox(const std::string& prompt, int style, const std::string& title)
{
    if (messageBoxHandler())
        messageBoxHandler()({prompt, style, title});
    else
        layer().showMessageBox(prompt, style, title);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(messageBoxHandler(), std::move(handler));
}

} // namespace forms
