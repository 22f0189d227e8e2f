#include "FileSystemKind.h"

#include "PlatformError.h"
#include "Utf16.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace platform {

namespace {

// "\\server\share\" of a UNC path; empty for any other path, "\\?\" and
// "\\.\" (the local machine's namespaces) included.
std::wstring uncRoot(const std::wstring& path)
{
    if (path.size() < 5 || path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?' || path[2] == L'.')
        return {};
    const auto server = path.find(L'\\', 2);
    if (server == std::wstring::npos)
        return {};
    const auto share = path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path + L'\\' : path.substr(0, share + 1);
}

} // namespace

FileSystemKind fileSystemOf(const ResolvedPath& folder)
{
    const std::wstring path = systemPath(folder.native());
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        throwSystemError("tell the file system of", folder.native());
    FileSystemKind kind;
    // A share's root is plain to see, and a share is reached over the
    // network; some systems (Wine) cannot say either.
    std::wstring volume = uncRoot(path);
    kind.network = !volume.empty();
    if (volume.empty()) {
        volume.assign(MAX_PATH + 1, L'\0');
        if (!GetVolumePathNameW(path.c_str(), volume.data(), MAX_PATH + 1))
            throwSystemError("tell the volume of", folder.native());
        volume.resize(std::wcslen(volume.c_str()));
        kind.network = GetDriveTypeW(volume.c_str()) == DRIVE_REMOTE;
    }
    wchar_t name[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (GetVolumeInformationW(volume.c_str(), nullptr, 0, &serial, nullptr, nullptr, name, MAX_PATH + 1)) {
        kind.type = narrow(name, std::wcslen(name));
        char text[16];
        std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(serial));
        kind.device = text;
    }
    if (kind.type.empty())
        kind.type = "unknown";
    return kind;
}

} // namespace platform
