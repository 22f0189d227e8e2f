#include "MessageBox.h"

#include "SessionEnd.h"
#include "SystemLog.h"
#include "WindowingLayer.h"

#include <utility>

namespace forms {

namespace {

MessageBoxHandler& messageBoxHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

// One line for a log: the prompt's line breaks become spaces.
std::string oneLine(std::string text)
{
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.replace(at, 2, " ");
    return text;
}

} // namespace

void MsgBox(const std::string& prompt, int style, const std::string& title)
{
    if (SessionEnding())
        platform::logToSystem(oneLine(title + " " + prompt));
    else if (messageBoxHandler())
        messageBoxHandler()({prompt, style, title});
    else
        layer().showMessageBox(prompt, style, title);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(messageBoxHandler(), std::move(handler));
}

} // namespace forms
