#pragma once

#include <string>
#include <string_view>

namespace cli {

// Windows only: UTF-16 at the system's door, UTF-8 everywhere inside.
std::string toUtf8(std::wstring_view text);
std::wstring toUtf16(std::string_view text);

} // namespace cli
