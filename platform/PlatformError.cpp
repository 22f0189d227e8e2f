#include "PlatformError.h"

namespace platform {

void throwSystemError(const std::string& action, const std::string& path)
{
    // Read before anything else can allocate and disturb the error code.
    const std::string reason = lastSystemErrorText();
    throw Error("Cannot " + action + " '" + path + "': " + reason);
}

void throwError(const std::string& action, const std::string& path, std::errc reason)
{
    throw Error("Cannot " + action + " '" + path + "': " + std::make_error_code(reason).message());
}

} // namespace platform
