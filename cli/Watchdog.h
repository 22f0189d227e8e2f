#pragma once

#include "FailureReason.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace cli {

// Bounds a run: the whole of it by --timeout, and each transfer by the stall
// time (no byte moved for that long), asking the run to stop when either
// runs out. A call that the system keeps blocked (a write to a share that
// stopped answering) cannot be stopped that way: when the run has not
// finished the stall time after the stop, the watchdog gives up waiting and
// calls `abandon` on its own thread, which must report and end the process.
class Watchdog {
public:
    struct Limits {
        std::optional<std::chrono::seconds> total;
        std::chrono::seconds stall{60};
    };
    // Told which limit ran out, without "stage" (the watchdog does not know
    // where the run is), and whether `outer` had asked the run to stop
    // before it did.
    using Abandon = std::function<void(const LimitReached&, bool afterOuterStop)>;

    // `outer` (the signals) stops the run too.
    Watchdog(std::stop_token outer, Limits limits, Abandon abandon);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog();

    // What the run watches: requested by `outer`, by --timeout or by a stall.
    std::stop_token token() const;

    // A copy or read begins: the stall time counts from now.
    void transferStarting();
    // A block of it moved. On the transferring thread, inside the timed
    // span: returns at once.
    void moved() noexcept;
    // It ended, or only its flush is left, whose progress nobody sees.
    void transferEnded();

    // Why the watchdog stopped the run; nothing while it has not, and
    // nothing when `outer` had asked first: a stop a person asked for is an
    // interruption, whatever limit runs out while the run stops.
    std::optional<LimitReached> limitReached() const;

    // The run is over and reports itself: nothing is abandoned from now on.
    // When the watchdog has begun to abandon it already, this never returns
    // (the abandonment ends the process).
    void finish();

private:
    enum class State { Running, Finished, Abandoning };

    void watch();
    // Whether a limit ran out at `now`; records it.
    bool expired(std::chrono::steady_clock::time_point now);

    const Limits m_limits;
    const Abandon m_abandon;
    const std::chrono::steady_clock::time_point m_started;
    const std::stop_token m_outer;
    std::stop_source m_source;
    std::stop_callback<std::function<void()>> m_forward;
    std::atomic<std::chrono::steady_clock::rep> m_lastMove{0};
    mutable std::mutex m_mutex;
    // A plain condition variable, woken by a flag: a wait that a stop token
    // ends takes a semaphore of libstdc++ 12 when the stop comes at the same
    // moment, which on Windows can miss its wake-up and hang the program at
    // its end.
    std::condition_variable m_wake;
    bool m_closing = false;
    State m_state = State::Running;
    bool m_transferring = false;
    std::optional<LimitReached> m_limit;
    bool m_limitAfterOuter = false;
    std::jthread m_thread;
};

} // namespace cli
