#include "Paths.h"

namespace platform {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

namespace {

std::string collapseSeparators(std::string_view path, char separator, std::size_t keepLeading)
{
    std::string result;
    result.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (!isSeparator(c)) {
            result += c;
            continue;
        }
        const bool previousWasSeparator = !result.empty() && result.back() == separator;
        if (!previousWasSeparator || i < keepLeading)
            result += separator;
    }
    return result;
}

std::size_t leadingSeparators(std::string_view path)
{
    std::size_t n = 0;
    while (n < path.size() && isSeparator(path[n]))
        ++n;
    return n;
}

} // namespace

std::string normalizePosixPath(std::string_view path)
{
    return collapseSeparators(path, '/', 0);
}

std::string normalizeWindowsPath(std::string_view path)
{
    // "\\server\share" and "\\?\C:\..." need their two leading separators.
    const std::size_t keep = leadingSeparators(path) >= 2 ? 2 : 0;
    return collapseSeparators(path, '\\', keep);
}

std::string normalizePath(std::string_view path)
{
#ifdef _WIN32
    return normalizeWindowsPath(path);
#else
    return normalizePosixPath(path);
#endif
}

std::string baseName(std::string_view path)
{
    const auto pos = path.find_last_of("/\\");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

} // namespace platform
