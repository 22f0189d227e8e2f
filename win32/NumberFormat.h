#pragma once

#include <string>

namespace win32layer {

// The value with exactly `decimals` digits after the decimal separator, with
// the separators, digit grouping, leading zero and negative form of a locale
// ("de-DE"); an empty name stands for the user's regional settings.
std::string formatNumber(double value, int decimals, const std::string& localeName = {});

} // namespace win32layer
