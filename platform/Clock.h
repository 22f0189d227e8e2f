#pragma once

#include <chrono>

namespace platform {

// A monotonic clock for timing transfers. Wall-clock time jumps (midnight,
// daylight saving, NTP) must never show up in a measured duration.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::nanoseconds now() const = 0;
    // The smallest step the clock can show; a shorter copy reads as zero.
    virtual std::chrono::nanoseconds resolution() const = 0;
};

class SteadyClock final : public Clock {
public:
    std::chrono::nanoseconds now() const override;
    std::chrono::nanoseconds resolution() const override;
};

// The clock every caller reads; tests swap in their own.
const Clock& clock();

// Installs another clock until the returned guard goes away.
class ScopedClock {
public:
    explicit ScopedClock(const Clock& replacement);
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
    ~ScopedClock();

private:
    const Clock* m_previous;
};

// Seconds between two readings, never zero: a copy that ends within one tick
// is counted as one tick, so a rate can always be computed.
double elapsedSeconds(std::chrono::nanoseconds start, std::chrono::nanoseconds end,
                      std::chrono::nanoseconds resolution);

} // namespace platform
