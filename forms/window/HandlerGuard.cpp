#include "HandlerGuard.h"

#include "Background.h"
#include "MessageBox.h"
#include "WindowingLayer.h"

#include <exception>
#include <string>

namespace forms {

namespace {

std::function<void(int)>& endProgramHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

void reportFatal(const std::string& text)
{
    MsgBox(text, vbCritical, "Dozozeda");
    endProgram(1);
}

} // namespace

void runGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        reportFatal(e.what());
    } catch (...) {
        reportFatal("An unexpected error occurred.");
    }
}

void endProgram(int status)
{
    // A worker must not outlive the event loop that waits for it.
    StopWork();
    if (endProgramHandler())
        endProgramHandler()(status);
    else
        layer().endProgram(status);
}

void setEndProgramHandler(std::function<void(int)> handler)
{
    endProgramHandler() = std::move(handler);
}

} // namespace forms
