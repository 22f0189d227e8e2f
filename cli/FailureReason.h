#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

// Why a measurement failed, in the words an alert acts on: each asks
// something else of the administrator (fix the link, mount the share, free
// space, grant access).
enum class Reason {
    // The share stopped answering (EIO, ETIMEDOUT, ENOTCONN, EHOSTUNREACH ...).
    Unreachable,
    // A share address that no mount on this machine serves, or with
    // --require-network a mount point that is a local folder now.
    NotMounted,
    // The target folder does not exist.
    NotFound,
    ReadOnly,
    Permission,
    NoSpace,
    // --timeout ran out.
    Timeout,
    // No byte moved for the stall time.
    Stalled,
    Other,
};

// "unreachable", "not_mounted", ... as every format names them.
std::string_view name(Reason reason);

struct Cause {
    Reason reason = Reason::Other;
    // The system's own error number of the call that failed (errno;
    // GetLastError() on Windows), when one did.
    std::optional<int> osError;
};

// A limit of the run that ran out (--timeout, the stall time), which asked
// the run to stop: the stop is then a failure with this reason, not an
// interruption.
struct LimitReached {
    Reason reason = Reason::Timeout;
    // Where the run was when it noticed: "precheck", "write", "read" or
    // "cleanup".
    std::string stage;
    // "the measurement did not finish within 30 s (--timeout)".
    std::string message;
};

// What a failure says about the share, read from the error code the
// platform layer kept (platform::Error::code()) and the kind of error it
// threw, never from its text, which is the operating system's and
// translated.
Cause causeOf(const std::exception& error);

// The same for an error number of std::generic_category (errno values).
std::optional<Reason> reasonOfErrno(int code);
// The same for an error number of std::system_category: errno on POSIX,
// GetLastError() on Windows.
std::optional<Reason> reasonOfSystemError(int code);

} // namespace cli
