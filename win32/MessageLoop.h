#pragma once

struct tagMSG;

namespace win32layer {

// Hands a message to its window, letting the dialog manager of the window's
// top-level window take the keys that move between controls (Tab, arrows)
// and the ones a control asks for.
void dispatch(tagMSG& message);

// Handles the messages already queued. Returns false, with WM_QUIT queued
// again for the outermost loop, when the program is ending.
bool processPendingMessages();

// The program's event loop; returns the exit status of WM_QUIT.
int runMessageLoop();

} // namespace win32layer
