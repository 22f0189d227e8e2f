#include "System.h"

#include "Utf16.h"

#include <windows.h>

namespace cli {

std::string hostName()
{
    wchar_t name[256] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size))
        return {};
    return platform::narrow(name, size);
}

unsigned long processId()
{
    return ::GetCurrentProcessId();
}

std::string temporaryFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(std::size(folder)), folder);
    std::string path = length > 0 && length <= MAX_PATH ? platform::narrow(folder, length) : ".";
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

std::string operatingSystem()
{
    return "windows";
}

bool isRunningInstance(unsigned long processId)
{
    if (processId == ::GetCurrentProcessId())
        return true;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr)
        // No such process; one that exists but may not be asked about is
        // taken to be a live run.
        return ::GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD status = 0;
    wchar_t image[MAX_PATH + 1] = {};
    DWORD length = static_cast<DWORD>(std::size(image));
    const bool alive = ::GetExitCodeProcess(process, &status) && status == STILL_ACTIVE;
    const bool named = ::QueryFullProcessImageNameW(process, 0, image, &length);
    ::CloseHandle(process);
    if (!alive)
        return false;
    if (!named)
        return true;
    const std::wstring path(image, length);
    const std::wstring file = path.substr(path.find_last_of(L"\\/") + 1);
    return ::CompareStringOrdinal(file.c_str(), -1, L"dozozeda-cli.exe", -1, TRUE) == CSTR_EQUAL;
}

std::optional<std::int64_t> freeBytes(const std::string& folder)
{
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(platform::systemPath(folder).c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return static_cast<std::int64_t>(available.QuadPart);
}

} // namespace cli
