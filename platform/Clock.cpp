#include "Clock.h"

#include <algorithm>

namespace platform {

namespace {

const SteadyClock systemClock;
const Clock* currentClock = &systemClock;

} // namespace

std::chrono::nanoseconds SteadyClock::now() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

std::chrono::nanoseconds SteadyClock::resolution() const
{
    const auto period = std::chrono::steady_clock::duration(1);
    return std::max(std::chrono::nanoseconds(1),
                    std::chrono::duration_cast<std::chrono::nanoseconds>(period));
}

const Clock& clock()
{
    return *currentClock;
}

ScopedClock::ScopedClock(const Clock& replacement)
    : m_previous(currentClock)
{
    currentClock = &replacement;
}

ScopedClock::~ScopedClock()
{
    currentClock = m_previous;
}

double elapsedSeconds(std::chrono::nanoseconds start, std::chrono::nanoseconds end,
                      std::chrono::nanoseconds resolution)
{
    const auto elapsed = std::max(end - start, std::max(resolution, std::chrono::nanoseconds(1)));
    return std::chrono::duration<double>(elapsed).count();
}

} // namespace platform
