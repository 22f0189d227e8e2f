#include "Watchdog.h"

#include <string>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

std::string seconds(std::chrono::seconds span)
{
    return std::to_string(span.count()) + " s";
}

} // namespace

Watchdog::Watchdog(std::stop_token outer, Limits limits, Abandon abandon)
    : m_limits(limits)
    , m_abandon(std::move(abandon))
    , m_started(Clock::now())
    , m_outer(outer)
    , m_forward(std::move(outer), [this] { m_source.request_stop(); })
    , m_thread([this] { watch(); })
{
}

Watchdog::~Watchdog()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
}

std::stop_token Watchdog::token() const
{
    return m_source.get_token();
}

void Watchdog::transferStarting()
{
    m_lastMove.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    const std::lock_guard lock(m_mutex);
    m_transferring = true;
    m_wake.notify_all();
}

void Watchdog::moved() noexcept
{
    m_lastMove.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
}

void Watchdog::transferEnded()
{
    const std::lock_guard lock(m_mutex);
    m_transferring = false;
}

std::optional<LimitReached> Watchdog::limitReached() const
{
    const std::lock_guard lock(m_mutex);
    if (m_limitAfterOuter)
        return std::nullopt;
    return m_limit;
}

void Watchdog::finish()
{
    std::unique_lock lock(m_mutex);
    if (m_state == State::Abandoning) {
        lock.unlock();
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    m_state = State::Finished;
    m_wake.notify_all();
}

bool Watchdog::expired(Clock::time_point now)
{
    if (m_limits.total && now >= m_started + *m_limits.total) {
        m_limit = LimitReached{Reason::Timeout, {},
                               "the measurement did not finish within " + seconds(*m_limits.total) + " (--timeout)"};
    } else if (m_transferring
               && now >= Clock::time_point(Clock::duration(m_lastMove.load(std::memory_order_relaxed))) + m_limits.stall) {
        m_limit = LimitReached{Reason::Stalled, {}, "no byte moved for " + seconds(m_limits.stall) + " (--stall-timeout)"};
    }
    m_limitAfterOuter = m_limit && m_outer.stop_requested();
    return m_limit.has_value();
}

void Watchdog::watch()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_closing || m_state != State::Running)
            return;
        const Clock::time_point now = Clock::now();
        if (expired(now))
            break;
        // The last move is read afresh at every wake: blocks move it
        // without waking this thread.
        Clock::time_point next = Clock::time_point::max();
        if (m_limits.total)
            next = m_started + *m_limits.total;
        if (m_transferring)
            next = std::min(next, Clock::time_point(Clock::duration(m_lastMove.load(std::memory_order_relaxed)))
                                      + m_limits.stall);
        const bool wasTransferring = m_transferring;
        const auto changed = [&] {
            return m_closing || m_state != State::Running || m_transferring != wasTransferring;
        };
        if (next == Clock::time_point::max())
            m_wake.wait(lock, changed);
        else
            m_wake.wait_until(lock, next, changed);
    }
    lock.unlock();
    m_source.request_stop();
    lock.lock();
    // A run that can still move ends itself within a block; one the system
    // keeps in a call is given the stall time to come back.
    if (m_wake.wait_until(lock, Clock::now() + m_limits.stall,
                          [&] { return m_closing || m_state != State::Running; }))
        return;
    m_state = State::Abandoning;
    const LimitReached limit = *m_limit;
    const bool afterOuterStop = m_limitAfterOuter;
    lock.unlock();
    m_abandon(limit, afterOuterStop);
}

} // namespace cli
