#include "PlatformError.h"

namespace platform {

void throwSystemError(const std::string& action, const std::string& path)
{
    throw Error("Cannot " + action + " '" + path + "': " + lastSystemErrorText());
}

void throwError(const std::string& action, const std::string& path, std::errc reason)
{
    throw Error("Cannot " + action + " '" + path + "': " + std::make_error_code(reason).message());
}

} // namespace platform
