#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace platform {

// Every failing platform operation throws this. The text is meant for a
// person: what was attempted, on which path, and the operating system's reason.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, std::error_code code = {})
        : std::runtime_error(message)
        , m_code(code)
    {
    }

    // The system's own reason when a system call failed (errno, or
    // GetLastError() on Windows), so that a caller can tell a full share from
    // an unreachable one without reading the text; empty otherwise.
    const std::error_code& code() const { return m_code; }

private:
    std::error_code m_code;
};

// Work that was asked to stop before it was done. Whatever it had written is
// gone again, unless leftOver() says why it could not be removed: then
// somebody has to be told, though the person asked for the stop.
class Cancelled : public Error {
public:
    explicit Cancelled(std::string leftOver = {})
        : Error("Stopped before it was done" + leftOver)
        , m_leftOver(std::move(leftOver))
    {
    }
    const std::string& leftOver() const { return m_leftOver; }

private:
    std::string m_leftOver;
};

// A share address that no mount on this machine serves. The text says which
// share and how to mount it; the program never mounts anything itself, since a
// mount started without a terminal cannot ask for a password.
class ShareNotMounted : public Error {
public:
    using Error::Error;
};

// A path as a message quotes it: in single quotes, without the password of a
// share address, a NUL shown as \0.
std::string quotedPath(std::string_view path);

// "Cannot <action> '<path>': <reason>" with the reason taken from the last
// system error code (errno, or GetLastError() on Windows).
[[noreturn]] void throwSystemError(const std::string& action, const std::string& path);

// Same, with a portable reason.
[[noreturn]] void throwError(const std::string& action, const std::string& path, std::errc reason);

// Throws for a path that holds a NUL: the system would read it only up to
// there, and so reach another file than the one named.
void refuseNul(const std::string& path);

// Runs `work`; when it fails or is stopped, `undo` removes what it wrote and
// answers what stayed anyway (empty when nothing did), which the failure
// then carries: nobody is to assume the target is clean.
template <typename Work, typename Undo>
auto undoingOnFailure(Work&& work, Undo&& undo) -> decltype(work())
{
    try {
        return work();
    } catch (const Cancelled&) {
        throw Cancelled(undo());
    } catch (const Error& error) {
        const std::string leftOver = undo();
        if (leftOver.empty())
            throw;
        throw Error(error.what() + leftOver, error.code());
    } catch (...) {
        undo();
        throw;
    }
}

// The operating system's text for the last error of the calling thread.
std::string lastSystemErrorText();
// The same error as a code.
std::error_code lastSystemError();

} // namespace platform
