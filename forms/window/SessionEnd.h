#pragma once

namespace forms {

class Window;

// The session is ending (logging off, shutting down, SIGTERM): the program
// closes its main window the ordinary way and cleans up, but nobody is left
// to answer a message box. Boxes that are open close as if OK was clicked,
// and what any later box would say goes to standard error and the system log.
void EndSession(Window& mainWindow);

bool SessionEnding();

} // namespace forms
