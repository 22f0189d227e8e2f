#include "FailureReason.h"

#include "PlatformError.h"

#include <cerrno>
#include <system_error>

namespace cli {

std::string_view name(Reason reason)
{
    switch (reason) {
    case Reason::Unreachable:
        return "unreachable";
    case Reason::NotMounted:
        return "not_mounted";
    case Reason::NotFound:
        return "not_found";
    case Reason::ReadOnly:
        return "read_only";
    case Reason::Permission:
        return "permission";
    case Reason::NoSpace:
        return "no_space";
    case Reason::Timeout:
        return "timeout";
    case Reason::Stalled:
        return "stalled";
    case Reason::Other:
        break;
    }
    return "other";
}

std::optional<Reason> reasonOfErrno(int code)
{
    switch (static_cast<std::errc>(code)) {
    case std::errc::io_error:
    case std::errc::timed_out:
    case std::errc::not_connected:
    case std::errc::host_unreachable:
    case std::errc::network_unreachable:
    case std::errc::network_down:
    case std::errc::connection_reset:
    case std::errc::connection_refused:
    case std::errc::connection_aborted:
        return Reason::Unreachable;
    case std::errc::read_only_file_system:
        return Reason::ReadOnly;
    case std::errc::permission_denied:
    case std::errc::operation_not_permitted:
        return Reason::Permission;
    case std::errc::no_space_on_device:
        return Reason::NoSpace;
    case std::errc::no_such_file_or_directory:
    case std::errc::not_a_directory:
        return Reason::NotFound;
    default:
        break;
    }
    // Not every system has these, nor std::errc names for them.
#ifdef EHOSTDOWN
    if (code == EHOSTDOWN)
        return Reason::Unreachable;
#endif
#ifdef EDQUOT
    if (code == EDQUOT)
        return Reason::NoSpace;
#endif
    return std::nullopt;
}

Cause causeOf(const std::exception& error)
{
    if (dynamic_cast<const platform::ShareNotMounted*>(&error))
        return {Reason::NotMounted, std::nullopt};
    const auto* failure = dynamic_cast<const platform::Error*>(&error);
    if (!failure || !failure->code())
        return {};
    const std::error_code& code = failure->code();
    std::optional<Reason> reason;
    if (code.category() == std::generic_category())
        reason = reasonOfErrno(code.value());
    else if (code.category() == std::system_category())
        reason = reasonOfSystemError(code.value());
    return {reason.value_or(Reason::Other), code.value()};
}

} // namespace cli
