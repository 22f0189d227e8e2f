#include "NumberFormat.h"

#include <gtest/gtest.h>

namespace {

struct Formatted {
    const char* locale;
    double value;
    const char* text;
};

class NumberFormat : public testing::TestWithParam<Formatted> {};

// The separators, the grouping (repeated, or 3 then 2 as in India), the sign
// and the leading zero all come from the locale.
TEST_P(NumberFormat, FollowsTheLocale)
{
    const Formatted& row = GetParam();
    EXPECT_EQ(win32layer::formatNumber(row.value, 2, row.locale), row.text);
}

INSTANTIATE_TEST_SUITE_P(Win32, NumberFormat,
                         testing::Values(Formatted{"en-US", 10485760, "10,485,760.00"},
                                         Formatted{"de-DE", 10485760, "10.485.760,00"},
                                         Formatted{"en-US", -1234.5, "-1,234.50"},
                                         Formatted{"de-DE", -1234.5, "-1.234,50"},
                                         Formatted{"en-US", 0.004, "0.00"},
                                         Formatted{"de-DE", 0.004, "0,00"},
                                         Formatted{"hi-IN", 10485760, "1,04,85,760.00"}));

} // namespace
