#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace platform {

// Every failing platform operation throws this. The text is meant for a
// person: what was attempted, on which path, and the operating system's reason.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Work that was asked to stop before it was done; whatever it had written is
// gone again. Nobody needs to be told: the person asked for it.
class Cancelled : public Error {
public:
    Cancelled()
        : Error("Stopped before it was done")
    {
    }
};

// A share address that no mount on this machine serves. The text says which
// share and how to mount it; the program never mounts anything itself, since a
// mount started without a terminal cannot ask for a password.
class ShareNotMounted : public Error {
public:
    using Error::Error;
};

// "Cannot <action> '<path>': <reason>" with the reason taken from the last
// system error code (errno, or GetLastError() on Windows).
[[noreturn]] void throwSystemError(const std::string& action, const std::string& path);

// Same, with a portable reason.
[[noreturn]] void throwError(const std::string& action, const std::string& path, std::errc reason);

// The operating system's text for the last error of the calling thread.
std::string lastSystemErrorText();

} // namespace platform
