#pragma once

#include <string>
#include <string_view>

namespace platform {

// Either separator, as a share address or a Windows path may use them.
bool isSeparator(char c);

// A Windows path as typed, with "/" read as "\" and a run of separators as
// one, except the leading pair that starts a UNC path ("\\server\share",
// "\\?\C:\dir").
std::string normalizeWindowsPath(std::string_view path);

// The folder that a path box names. The window closes the box's text with
// a backslash to mark a folder: Windows reads that as a separator, while on
// Linux a backslash belongs to a file name, so there the closing one is
// dropped.
std::string boxFolder(std::string_view text);

} // namespace platform
