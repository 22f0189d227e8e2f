#pragma once

#include <cstdint>

// Counts one more measurement run. The count is a 16-bit number: at 32767 it
// stays where it is and the run fails, rather than wrapping round to a
// negative run number.
void CountRun(std::int16_t& count);
