#pragma once

#include <functional>

namespace platform {

// Every event handler runs inside this guard. An error that no handler dealt
// with is shown in a critical message box and ends the program with a
// non-zero status; no exception ever reaches Qt's event loop.
void runGuarded(const std::function<void()>& handler);

// Ends the program with the given status once control is back in the event loop.
void endProgram(int status);

// Tests replace what ending the program does.
void setEndProgramHandler(std::function<void(int)> handler);

// Wraps a member handler for connect(): [this] { runGuarded(...) }.
template <typename Object>
auto guarded(Object* object, void (Object::*handler)())
{
    return [object, handler] { runGuarded([object, handler] { (object->*handler)(); }); };
}

} // namespace platform
