#pragma once

// Shared by the resource script and the code; windres understands only
// preprocessor numbers, not C++ constants.
#define DOZOZEDA_ICON 1
#define DOZOZEDA_IDLE_BITMAP 101
#define DOZOZEDA_BUSY_BITMAP 102
