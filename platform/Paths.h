#pragma once

#include <string>
#include <string_view>

namespace platform {

// Paths typed by a person mix separators: a folder typed as "\\nas\share\" gets
// "/dummyfile.dum" appended. Both separators are accepted everywhere and a run
// of separators counts as one, except the leading pair that starts a UNC path
// on Windows.
std::string normalizePosixPath(std::string_view path);
std::string normalizeWindowsPath(std::string_view path);

// The rule of the system the program runs on.
std::string normalizePath(std::string_view path);

bool isSeparator(char c);

// The last component of a path, after either separator.
std::string baseName(std::string_view path);

} // namespace platform
