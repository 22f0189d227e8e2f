#include "Paths.h"

namespace platform {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::string normalizeWindowsPath(std::string_view path)
{
    std::size_t leading = 0;
    while (leading < path.size() && isSeparator(path[leading]))
        ++leading;
    const std::size_t keep = leading >= 2 ? 2 : 0;
    std::string result;
    result.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (!isSeparator(path[i]))
            result += path[i];
        else if (result.empty() || result.back() != '\\' || i < keep)
            result += '\\';
    }
    return result;
}

std::string boxFolder(std::string_view text)
{
#ifndef _WIN32
    if (text.size() > 1 && text.back() == '\\')
        text.remove_suffix(1);
#endif
    return std::string(text);
}

} // namespace platform
