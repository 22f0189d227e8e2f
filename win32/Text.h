#pragma once

#include <string>
#include <string_view>

namespace win32layer {

// The program keeps text in UTF-8; every Win32 call here takes UTF-16.
std::wstring toUtf16(std::string_view text);
std::string toUtf8(std::wstring_view text);

} // namespace win32layer
