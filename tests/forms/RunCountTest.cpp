#include "PlatformError.h"
#include "RunCount.h"

#include <gtest/gtest.h>

#include <cstdint>

// Reaching the last count through the window would take 32,767 runs.
TEST(RunCount, StopsAt32767InsteadOfWrappingRound)
{
    std::int16_t count = 32766;
    CountRun(count);
    EXPECT_EQ(count, 32767);
    EXPECT_THROW(CountRun(count), platform::Error);
    EXPECT_EQ(count, 32767);
}
