#include "HandlerGuard.h"

#include "Background.h"
#include "MessageBox.h"
#include "WindowingLayer.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace forms {

namespace {

std::function<void(int)>& endProgramHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

// How many handlers are running, one inside another: a handler that waits
// for work handles events meanwhile, and so runs others.
int runningHandlers = 0;
std::optional<int> pendingEnd;

void reportFatal(const std::string& text)
{
    MsgBox(text, vbCritical, "Dozozeda");
    endProgram(1);
}

void leaveEventLoop(int status)
{
    if (endProgramHandler())
        endProgramHandler()(status);
    else
        layer().endProgram(status);
}

} // namespace

void runGuarded(const std::function<void()>& handler)
{
    struct Depth {
        Depth() { ++runningHandlers; }
        ~Depth() { --runningHandlers; }
    };
    {
        const Depth depth;
        try {
            handler();
        } catch (const std::exception& e) {
            reportFatal(e.what());
        } catch (...) {
            reportFatal("An unexpected error occurred.");
        }
    }
    // The outermost handler has returned: nothing is left to say.
    if (runningHandlers == 0 && pendingEnd)
        leaveEventLoop(*std::exchange(pendingEnd, std::nullopt));
}

void endProgram(int status)
{
    // A worker must not outlive the event loop that waits for it.
    StopWork();
    // The handlers below this one still unwind, and one may have something
    // to say (a copy it could not remove): leaving the event loop now would
    // close its message box before anybody saw it. A failure outranks a
    // clean end.
    if (runningHandlers > 0) {
        if (!pendingEnd || status != 0)
            pendingEnd = status;
        return;
    }
    leaveEventLoop(status);
}

void setEndProgramHandler(std::function<void(int)> handler)
{
    endProgramHandler() = std::move(handler);
}

} // namespace forms
