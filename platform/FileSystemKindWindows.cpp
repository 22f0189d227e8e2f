#include "FileSystemKind.h"

#include "PlatformError.h"
#include "Utf16.h"

#include <windows.h>

#include <cstdio>

namespace platform {

namespace {

// "\\server\share", not "\\?\" or "\\.\", the local machine's namespaces.
bool isUncPath(const std::string& path)
{
    return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.';
}

} // namespace

FileSystemKind fileSystemOf(const ResolvedPath& folder)
{
    const std::wstring path = systemPath(folder.native());
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        throwSystemError("tell the file system of", folder.native());
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), volume, MAX_PATH + 1))
        throwSystemError("tell the volume of", folder.native());
    FileSystemKind kind;
    kind.network = GetDriveTypeW(volume) == DRIVE_REMOTE || isUncPath(folder.native());
    wchar_t name[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (GetVolumeInformationW(volume, nullptr, 0, &serial, nullptr, nullptr, name, MAX_PATH + 1)) {
        kind.type = narrow(name, wcslen(name));
        char text[16];
        std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(serial));
        kind.device = text;
    }
    if (kind.type.empty())
        kind.type = "unknown";
    return kind;
}

} // namespace platform
