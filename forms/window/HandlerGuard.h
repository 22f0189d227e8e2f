#pragma once

#include <functional>

namespace forms {

// Every event handler runs inside this guard. An error that no handler dealt
// with is shown in a critical message box and ends the program with a
// non-zero status; no exception ever reaches the toolkit's event loop.
void runGuarded(const std::function<void()>& handler);

// Ends the program with the given status once the outermost handler has
// returned to the event loop, so that every handler still unwinding can show
// what it has to say first.
void endProgram(int status);

// Tests replace what ending the program does; an empty handler restores it.
void setEndProgramHandler(std::function<void(int)> handler);

} // namespace forms
