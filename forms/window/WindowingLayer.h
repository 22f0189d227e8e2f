#pragma once

#include "WindowPeer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace forms {

class Window;

// What the window logic needs from a toolkit: windows built from their
// designs, modal message boxes, regional number formatting, an event loop it
// can wait in, and a way to end the program. Qt and Win32 each provide one.
class WindowingLayer {
public:
    virtual ~WindowingLayer() = default;

    // Builds the window's controls with their design values, centred on the
    // screen and not yet shown. The layer reports clicks and close requests
    // to the window (Window::Clicked, Window::CloseRequested).
    virtual std::unique_ptr<WindowPeer> createPeer(Window& window) = 0;

    // A modal box with one OK button; returns when the user has closed it.
    // Style 16 (vbCritical) shows the critical-error icon.
    virtual void showMessageBox(const std::string& prompt, int style, const std::string& title) = 0;

    // The value with exactly `decimals` digits after the decimal separator,
    // grouped and signed as the user's regional settings say.
    virtual std::string formatNumber(double value, int decimals) const = 0;

    // Handles events (input, painting, moving windows) until done() holds,
    // calling everyTick about every `tick` meanwhile. done() and everyTick run
    // on this thread; another thread calls wake() to have done() asked again.
    // Returns false early when something outside the program told it to quit
    // (the toolkit's event loop is ending); the caller then stops waiting.
    virtual bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                                    const std::function<void()>& everyTick) = 0;
    // Safe to call from any thread.
    virtual void wake() = 0;

    // Leaves the event loop with this exit status once control returns to it.
    virtual void endProgram(int status) = 0;

    // Closes the message boxes that are open, as if their OK was clicked:
    // the session is ending and nobody is left to click it.
    virtual void dismissMessageBoxes() = 0;
};

// The layer every window uses. The program installs its layer at start.
WindowingLayer& layer();
void useWindowingLayer(WindowingLayer* layer);

// Number formatting with the user's regional settings, through the layer.
std::string FormatNumber(double value, int decimals = 2);

} // namespace forms
