#include "FailureReason.h"

#include <windows.h>

namespace cli {

namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64's headers leave out.
constexpr DWORD kDiskQuotaExceeded = 1295;

} // namespace

// What the SMB redirector and the file system answer, by GetLastError().
std::optional<Reason> reasonOfSystemError(int code)
{
    switch (static_cast<DWORD>(code)) {
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NETPATH:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_SEM_TIMEOUT:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_BUSY:
    case ERROR_REM_NOT_LIST:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_CONNECTION_REFUSED:
    case ERROR_CONNECTION_ABORTED:
    case ERROR_CONNECTION_INVALID:
    case ERROR_IO_DEVICE:
        return Reason::Unreachable;
    case ERROR_WRITE_PROTECT:
        return Reason::ReadOnly;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
        return Reason::Permission;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kDiskQuotaExceeded:
        return Reason::NoSpace;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NET_NAME:
        return Reason::NotFound;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace cli
