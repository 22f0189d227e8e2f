#include "Phase.h"

#include "Clock.h"
#include "PlatformError.h"

namespace measure {

double PhaseTiming::seconds() const
{
    return platform::elapsedSeconds(start, end, platform::clock().resolution());
}

PhaseTiming timePhase(std::string_view phase, std::int64_t count, const std::stop_token& stop,
                      const std::function<void(std::int64_t)>& operation)
{
    const platform::Clock& clock = platform::clock();
    Latencies times;
    PhaseTiming timing;
    timing.phase = phase;
    timing.start = clock.now();
    std::chrono::nanoseconds before = timing.start;
    for (std::int64_t i = 1; i <= count; ++i) {
        if (stop.stop_requested())
            throw platform::Cancelled();
        operation(i);
        const std::chrono::nanoseconds after = clock.now();
        times.add(after - before);
        before = after;
    }
    timing.end = before;
    timing.operations = count;
    timing.latency = times.summary();
    return timing;
}

} // namespace measure
