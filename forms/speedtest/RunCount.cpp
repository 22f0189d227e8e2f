#include "RunCount.h"

#include "PlatformError.h"

#include <limits>

void CountRun(std::int16_t& count)
{
    if (count == std::numeric_limits<std::int16_t>::max())
        throw platform::Error("Overflow: no more than 32767 runs can be counted.");
    ++count;
}
