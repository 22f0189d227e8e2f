#include "PlatformError.h"

#include "ShareAddress.h"

namespace platform {

std::string quotedPath(std::string_view path)
{
    std::string shown = withoutPassword(path);
    // A NUL would end the message where it stands.
    for (std::size_t at = shown.find('\0'); at != std::string::npos; at = shown.find('\0', at))
        shown.replace(at, 1, "\\0");
    return "'" + shown + "'";
}

void throwSystemError(const std::string& action, const std::string& path)
{
    // Read before anything else can allocate and disturb the error code.
    const std::error_code code = lastSystemError();
    const std::string reason = lastSystemErrorText();
    throw Error("Cannot " + action + " " + quotedPath(path) + ": " + reason, code);
}

void throwError(const std::string& action, const std::string& path, std::errc reason)
{
    const std::error_code code = std::make_error_code(reason);
    throw Error("Cannot " + action + " " + quotedPath(path) + ": " + code.message(), code);
}

void refuseNul(const std::string& path)
{
    if (path.find('\0') != std::string::npos)
        throw Error("Cannot use " + quotedPath(path) + ": a path cannot hold a NUL character");
}

} // namespace platform
