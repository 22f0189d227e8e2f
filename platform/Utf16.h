#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Windows only. Every path and text is UTF-8 inside the program and UTF-16 at
// the system's door; the ANSI ("A") functions would lose any character
// outside the local code page.
std::wstring widen(const std::string& text);
std::string narrow(const wchar_t* text, std::size_t size);

// A path on its way to the system: widened, once refuseNul() has let it pass.
std::wstring systemPath(const std::string& path);

} // namespace platform
