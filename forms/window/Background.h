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
// controls that start work are locked (WorkLock). Unloading the owner,
// StopWork(), or the toolkit being told to quit asks the work to stop;
// RunInBackground then throws platform::Cancelled once the worker has ended,
// and the owner may be gone by then: the caller touches no control after it.
void RunInBackground(Window& owner, const std::function<void(std::stop_token)>& work,
                     const std::function<void()>& everyTick = {});

// Which window started the work that is running; null while none runs.
const Window* WorkOwner();

// Keeps the controls that start work, and those locked during work
// (Window::LockDuringWork), disabled and deaf to clicks in every window for
// as long as any lock lives. RunInBackground holds one, and so does a click
// on a button that starts work, for its whole handler: a run that looks up,
// copies and removes in turn stays locked in between.
class WorkLock {
public:
    WorkLock();
    WorkLock(const WorkLock&) = delete;
    WorkLock& operator=(const WorkLock&) = delete;
    ~WorkLock();
};

bool WorkLocked();

// Asks the running work to stop and returns once its worker has ended.
void StopWork();

} // namespace forms
