#include "FreshLookup.h"

#include "PlatformError.h"
#include "Utf16.h"

#include <windows.h>

namespace platform {

std::optional<EntryInfo> lookupEntryFresh(const ResolvedPath& resolved)
{
    const std::string& path = resolved.native();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        throwSystemError("look up", path);
    }
    EntryInfo info;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        info.type = EntryType::Other;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        info.type = EntryType::Directory;
    else
        info.type = EntryType::RegularFile;
    info.size = static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    return info;
}

} // namespace platform
