#pragma once

#include <string>

namespace cli {

// Numbers for machines: the shortest text that reads back as the same
// double, with a '.' whatever the locale says.
std::string shortestText(double value);

// Numbers for people: fixed decimals, '.' as the decimal point.
std::string fixedText(double value, int decimals);

} // namespace cli
