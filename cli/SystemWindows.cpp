#include "System.h"

#include "WideText.h"

#include <windows.h>

namespace cli {

std::string hostName()
{
    wchar_t name[256] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size))
        return {};
    return toUtf8(std::wstring_view(name, size));
}

unsigned long processId()
{
    return ::GetCurrentProcessId();
}

std::string temporaryFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(std::size(folder)), folder);
    std::string path = length > 0 && length <= MAX_PATH ? toUtf8(std::wstring_view(folder, length)) : ".";
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

std::string operatingSystem()
{
    return "windows";
}

} // namespace cli
