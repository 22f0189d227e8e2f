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

} // namespace cli
