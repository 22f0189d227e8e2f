#include "Background.h"

#include "HandlerGuard.h"
#include "PlatformError.h"
#include "Window.h"
#include "WindowingLayer.h"

#include <atomic>
#include <exception>
#include <stdexcept>
#include <thread>

namespace forms {

namespace {

using namespace std::chrono_literals;

constexpr auto kTick = 33ms;

struct Work {
    Window* owner = nullptr;
    std::stop_source stop;
    std::atomic<bool> finished = false;
    std::exception_ptr error;
};

Work* running = nullptr;
int locks = 0;

void enableLockedControls(bool enabled)
{
    for (Window* window : Window::LoadedWindows())
        window->EnableLockedControls(enabled);
}

} // namespace

void RunInBackground(Window& owner, const std::function<void(std::stop_token)>& work,
                     const std::function<void()>& everyTick)
{
    if (running)
        throw std::logic_error("Only one piece of work runs at a time.");
    const WorkLock lock;
    Work current;
    current.owner = &owner;
    running = &current;
    struct Done {
        ~Done() { running = nullptr; }
    } done;

    std::thread worker([&current, &work] {
        try {
            work(current.stop.get_token());
        } catch (...) {
            current.error = std::current_exception();
        }
        current.finished = true;
        current.finished.notify_all();
        layer().wake();
    });
    // The owner may be closed meanwhile; its progress then has nowhere to show.
    const auto tick = [&owner, &everyTick] {
        if (everyTick && owner.Loaded())
            runGuarded(everyTick);
    };
    // Whatever ends the wait early (an error, a quit from outside), the
    // worker is asked to stop before anyone waits for it: it then ends
    // within one block instead of copying on with the windows frozen.
    try {
        if (!layer().processEventsUntil([&current] { return current.finished.load(); }, kTick, tick))
            current.stop.request_stop();
    } catch (...) {
        current.stop.request_stop();
        worker.join();
        throw;
    }
    worker.join();

    if (current.error)
        std::rethrow_exception(current.error);
    if (current.stop.stop_requested())
        throw platform::Cancelled();
}

WorkLock::WorkLock()
{
    if (locks++ == 0)
        enableLockedControls(false);
}

WorkLock::~WorkLock()
{
    if (--locks > 0)
        return;
    try {
        enableLockedControls(true);
    } catch (...) {
        // A window whose controls cannot be reached is being torn down.
    }
}

bool WorkLocked()
{
    return locks > 0;
}

const Window* WorkOwner()
{
    return running ? running->owner : nullptr;
}

void StopWork()
{
    Work* work = running;
    if (!work)
        return;
    work->stop.request_stop();
    if (!layer().processEventsUntil([work] { return work->finished.load(); }, kTick, {}))
        work->finished.wait(false);
}

} // namespace forms
