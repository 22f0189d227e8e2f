#pragma once

#include <functional>
#include <stop_token>

namespace forms {

class Window;

// Runs the slow part of a handler (writing the test file, the copy) on a
// worker thread while the windows stay responsive: they repaint, move and
// take clicks meanwhile. `everyTick` runs on the user-interface thread about
// thirty times a second, which is as often as anyone can see a change.
//
// Returns when the work is done and rethrows its error. While it runs, the
// buttons that start work and the controls locked during work
// (Window::LockDuringWork) are disabled in every window. Unloading the owner,
// StopWork(), or the toolkit being told to quit asks the work to stop;
// RunInBackground then throws platform::Cancelled once the worker has ended,
// and the owner may be gone by then: the caller touches no control after it.
void RunInBackground(Window& owner, const std::function<void(std::stop_token)>& work,
                     const std::function<void()>& everyTick = {});

// Whether work is running, and which window started it.
bool WorkRunning();
const Window* WorkOwner();

// Asks the running work to stop and returns once its worker has ended.
void StopWork();

} // namespace forms
