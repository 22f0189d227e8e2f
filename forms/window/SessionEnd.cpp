#include "SessionEnd.h"

#include "Window.h"
#include "WindowingLayer.h"

namespace forms {

namespace {

bool ending = false;

} // namespace

void EndSession(Window& mainWindow)
{
    ending = true;
    layer().dismissMessageBoxes();
    mainWindow.CloseRequested();
}

bool SessionEnding()
{
    return ending;
}

} // namespace forms
